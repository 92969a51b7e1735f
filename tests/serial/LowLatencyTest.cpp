// The low-latency step after opening a port, through its seam: a fake sysfs tree and a driver
// request that is taken or refused; the real step on a pseudo-terminal; and what a slow adapter
// is told.
#include "PtyPair.h"

#include "serial/LowLatency.h"
#include "serial/Serial.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A sysfs tree of its own per test, where an adapter's timer file can be put.
class LowLatencyStep : public testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("sysfs-" + std::to_string(getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    // class/tty/NAME/device, with the timer in it or, `onInterface`, in its parent.
    fs::path PutTimer(const std::string& name, const std::string& value, bool onInterface = false)
    {
        fs::path device = root / "class" / "tty" / name / "device";
        fs::create_directories(device);
        fs::path file = (onInterface ? device.parent_path() : device) / "latency_timer";
        std::ofstream(file) << value;
        return file;
    }
    TLatencySystem System(bool driverTakes)
    {
        return {[this, driverTakes](int fd) {
            askedFd = fd;
            return driverTakes;
                },
                root.string()};
    }

    fs::path root;
    int askedFd = -1;
};

struct TimerCase {
    const char* Name;
    bool DriverTakes;    // the driver took the low-latency request
    const char* Timer;   // latency_timer's content, null: no such file
    bool OnInterface;    // the file is the USB interface's, not the tty device's
    bool Known;
    int32_t Ms;
};

class TimerRead : public LowLatencyStep, public testing::WithParamInterface<TimerCase> {};

TEST_P(TimerRead, AsksTheDriverAndReadsWhatTheAdapterIsLeftWith)
{
    const TimerCase& c = GetParam();
    fs::path file;
    if (c.Timer) file = PutTimer("ttyUSB0", c.Timer, c.OnInterface);
    TAdapterLatency latency = LowerLatencyLinux(7, "/dev/ttyUSB0", System(c.DriverTakes));
    EXPECT_EQ(askedFd, 7) << "the driver is always asked first";
    EXPECT_EQ(latency.Known(), c.Known);
    if (!c.Known) return;
    EXPECT_EQ(latency.TimerMs(), c.Ms);
    EXPECT_EQ(latency.Slow(), c.Ms > 1);
    EXPECT_EQ(fs::path(latency.Setting()), file.lexically_normal());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Adapters, TimerRead,
    testing::Values(TimerCase{"FtdiTookLowLatency", true, "1\n", false, true, 1},
                    TimerCase{"FtdiRefusedKeepsItsSixteen", false, "16\n", false, true, 16},
                    TimerCase{"TimerOnTheUsbInterface", false, "8\n", true, true, 8},
                    TimerCase{"AdapterWithoutTimer", true, nullptr, false, false, 0},
                    TimerCase{"BuiltInUartRefusesAndHasNoTimer", false, nullptr, false, false, 0},
                    TimerCase{"UnreadableTimer", true, "fast\n", false, false, 0}),
    [](const testing::TestParamInfo<TimerCase>& info) { return std::string(info.param.Name); });
// clang-format on

// A link to the device (a udev symlink, --link) names the device it points at.
TEST_F(LowLatencyStep, ALinkIsFollowedToItsDevice)
{
    fs::path file = PutTimer("ttyUSB3", "16");
    fs::path device = root / "dev" / "ttyUSB3";
    fs::create_directories(device.parent_path());
    std::ofstream(device).put('\0');
    fs::path link = root / "board-port";
    fs::create_symlink(device, link);
    TAdapterLatency latency = LowerLatencyLinux(3, link.string(), System(false));
    ASSERT_TRUE(latency.Known());
    EXPECT_EQ(latency.TimerMs(), 16);
}

// A pseudo-terminal refuses the request and has no timer: the port is left exactly as it was.
TEST(LowLatencyOnAPty, NothingChangesAndNothingIsKnown)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    TComPort port(false, true);
    port.Open(pty.SlavePath());
    ASSERT_FALSE(port.LastFailure()) << PortErrorDetails(port);
    EXPECT_FALSE(port.Latency().Known());

    int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios before{}, after{};
    ASSERT_EQ(tcgetattr(fd, &before), 0);
    TAdapterLatency latency = LowerLatencyLinux(fd, pty.SlavePath(), RealLatencySystem());
    ASSERT_EQ(tcgetattr(fd, &after), 0);
    close(fd);
    EXPECT_FALSE(latency.Known());
    EXPECT_EQ(before.c_cflag, after.c_cflag);
    EXPECT_EQ(before.c_iflag, after.c_iflag);
    EXPECT_EQ(before.c_oflag, after.c_oflag);
    EXPECT_EQ(before.c_lflag, after.c_lflag);
}

// The advice says the timer, the job's cost in seconds and how to lower the timer, naming the file.
TEST(SlowAdapterAdvice, SaysTheCostOnThisJobAndHowToLowerIt)
{
    const std::string file = "/sys/class/tty/ttyUSB0/device/latency_timer";
    std::string text = SlowAdapterText("/dev/ttyUSB0", TAdapterLatency(16, file), 617);
    EXPECT_NE(text.find("/dev/ttyUSB0"), std::string::npos) << text;
    EXPECT_NE(text.find("16 мс"), std::string::npos) << text;
    EXPECT_NE(text.find("617 ответов"), std::string::npos) << text;
    EXPECT_NE(text.find("9,9 с"), std::string::npos) << text;   // 617 x 16 ms
    EXPECT_NE(text.find("echo 1 | sudo tee " + file), std::string::npos) << text;
    EXPECT_NE(text.find("ATTR{latency_timer}=\"1\""), std::string::npos) << text;
    EXPECT_TRUE(SlowAdapterText("/dev/ttyUSB0", TAdapterLatency(1, file), 617).empty());
    EXPECT_TRUE(SlowAdapterText("/dev/ttyS0", TAdapterLatency(), 617).empty());
}

}   // namespace
