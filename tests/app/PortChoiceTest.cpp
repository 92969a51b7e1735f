// What the main window's port list shows beside each device.
#include "app/PortChoice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

TEST(PortChoice, UsbAdaptersShowTheirIdAndProductAndAreFollowedByTheirByIdNames)
{
    std::vector<PortInfo> known = {{"/dev/ttyS0", "", "", "", true},
                                   {"/dev/ttyUSB0", "0403:6001", "A50285BI", "FT232R USB UART", true}};
    std::vector<TByIdLink> byId = {{"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "/dev/ttyUSB0"},
                                   {"/dev/serial/by-id/usb-Other-if00", "/dev/ttyACM0"}};
    std::vector<TPortItem> items = DescribePorts({"/dev/ttyS0", "/dev/ttyUSB0", "/dev/pts/3"}, known, byId);
    std::vector<TPortItem> expected = {
        {"/dev/ttyS0", "/dev/ttyS0"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0  0403:6001  FT232R USB UART"},
        {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
        {"/dev/pts/3", "/dev/pts/3"}};
    EXPECT_EQ(items, expected);
}

TEST(PortChoice, ByIdLinksAreReadWithTheDevicesTheyPointTo)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("by-id-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::create_symlink("/dev/null", dir / "usb-Adapter-if00");
    auto links = ReadByIdLinks(dir.string());
    fs::remove_all(dir);
    EXPECT_EQ(links, (std::vector<TByIdLink>{{(dir / "usb-Adapter-if00").string(), "/dev/null"}}));
    EXPECT_TRUE(ReadByIdLinks("/nonexistent-folder").empty());
}
