// "Станция…": the station window opens, modal, on the station file chosen in the file dialog; a
// refused file is said in a box and no window opens.
#include "tests/app/WindowFixture.h"

#include "stationui/StationWindow.h"
#include "tests/common/ModalWindow.h"

#include <QLabel>
#include <QPushButton>

#include <filesystem>
#include <fstream>

class StationButtonTest : public WindowTest {
protected:
    std::string StationFile(const std::string& text)
    {
        std::string path = (std::filesystem::temp_directory_path() /
                            ("flasher-station-button-" + std::to_string(getpid()) + ".ini"))
                               .string();
        std::ofstream(path) << text;
        files.push_back(path);
        return path;
    }
    void TearDown() override
    {
        for (const std::string& path : files) std::filesystem::remove(path);
        WindowTest::TearDown();
    }
    std::vector<std::string> files;
};

TEST_F(StationButtonTest, OpensTheStationOfTheChosenFile)
{
    TMainWindow& f = Open();
    user.Choices = {
        std::vector<std::string>{StationFile("[Slots]\nA1=/nonexistent/slots/A1\nA2=/nonexistent/slots/A2\n")}};
    size_t tiles = 0;
    bool running = false;
    WhenModalShows<TStationWindow> inWindow([&](TStationWindow& window) {
        tiles = window.Tiles.size();
        running = window.StatusLabel->text().startsWith(QString::fromUtf8("Станция работает"));
        window.CloseButton->click();
    });
    f.StationButton->click();

    EXPECT_TRUE(inWindow.Shown());
    EXPECT_EQ(tiles, 2u);
    EXPECT_TRUE(running);
    ASSERT_EQ(user.Dialogs.size(), 1u);
    EXPECT_EQ(user.Dialogs[0].Title, "Файл станции");
    EXPECT_TRUE(user.Boxes.empty());
}

TEST_F(StationButtonTest, ARefusedFileIsSaidAndNoWindowOpens)
{
    TMainWindow& f = Open();
    user.Choices = {std::vector<std::string>{StationFile("[Job]\n[Slot]\nA1=/dev/ttyS0\n")}};
    WhenModalShows<TStationWindow> inWindow([](TStationWindow& window) { window.CloseButton->click(); });
    f.StationButton->click();

    EXPECT_FALSE(inWindow.Shown());
    ASSERT_EQ(user.Boxes.size(), 1u);
    EXPECT_EQ(user.Boxes[0].Caption, "Станция");
    EXPECT_NE(user.Boxes[0].Text.find("Файл станции не принят"), std::string::npos) << user.Boxes[0].Text;
    EXPECT_NE(user.Boxes[0].Text.find(".ini:2: "), std::string::npos) << user.Boxes[0].Text;
}
