// The real program from start to end: it loads the settings beside it, shows the window on the
// saved port, and at the end writes back what the window stored. Run in its own folder, where it
// keeps its settings file, with its hidden screenshot option to end it.
#include "app/SettingsSave.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/SimulatedBoardTest.h"
#include "tests/fonts/GlyFiles.h"
#include "util/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {
// The program runs in a process of its own at real time, so the board here does too.
class ProgramRun : public SimulatedBoardTest {
protected:
    ProgramRun() : SimulatedBoardTest(1) {}
    void SetUp() override
    {
        StartBoard();
        if (HasFatalFailure()) return;
        fs::copy_file(FLASHER_PROGRAM, folder.Path / "flasher");
    }

    // Runs the program with these arguments; its exit status.
    int Run(const std::string& arguments)
    {
        std::string command = "QT_QPA_PLATFORM=offscreen timeout 120 " + (folder.Path / "flasher").string() +
                              " --screenshot " + Shot() + " " + arguments + " >" + Output() + " 2>&1";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string SettingsFile() const { return (folder.Path / "Mirvolen.ini").string(); }
    std::string Shot() const { return (folder.Path / "shot.png").string(); }
    std::string Output() const { return (folder.Path / "output.txt").string(); }
    std::string Said() const
    {
        std::ifstream in(Output());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TempFolder folder;
};
}   // namespace

TEST_F(ProgramRun, KeepsTheSettingsAcrossARun)
{
    TSettings saved;
    saved.Port = sim->SlavePath();
    saved.FontFile = "/fonts/шрифт.gly";
    saved.IncludeFont = true;
    saved.LastDir = "/kept/";
    saved.RomName = "Табло 1";
    saved.Position = {10, 20, 0, 0};
    ASSERT_EQ(SaveSettings(saved, SettingsFile()), std::nullopt);

    ASSERT_EQ(Run(""), 0);
    EXPECT_GT(fs::file_size(Shot()), 0u);
    TSettings after;
    LoadSettings(after, SettingsFile());
    EXPECT_EQ(after.Port, sim->SlavePath());
    EXPECT_EQ(after.FontFile, "/fonts/шрифт.gly");
    EXPECT_TRUE(after.IncludeFont);
    EXPECT_EQ(after.LastDir, "/kept/");
    EXPECT_EQ(after.RomName, "Табло 1");
    EXPECT_EQ(after.Position[0], 10);
    EXPECT_EQ(after.Position[1], 20);
    EXPECT_GE(after.Position[2] - after.Position[0], 256);
    EXPECT_GE(after.Position[3] - after.Position[1], 269);
}

TEST_F(ProgramRun, FirstRunCreatesTheSettingsFile)
{
    ASSERT_EQ(Run(""), 0);
    TSettings after;
    LoadSettings(after, SettingsFile());
    EXPECT_TRUE(fs::exists(SettingsFile()));
    EXPECT_FALSE(after.IncludeFont);
    EXPECT_EQ(after.FontFile, "");
}

TEST_F(ProgramRun, CommandLinePortIsNotSaved)
{
    TSettings saved;
    saved.Port = "/dev/ttyUSB7";
    ASSERT_EQ(SaveSettings(saved, SettingsFile()), std::nullopt);
    ASSERT_EQ(Run("--port " + sim->SlavePath()), 0);
    TSettings after;
    LoadSettings(after, SettingsFile());
    EXPECT_EQ(after.Port, "/dev/ttyUSB7");
}

TEST_F(ProgramRun, HelpAndBadOptions)
{
    EXPECT_EQ(Run("--help"), 0);
    EXPECT_FALSE(fs::exists(SettingsFile()));   // nothing started
    EXPECT_EQ(Run("--port"), 2);
}

// The user made the settings read-only: the run leaves them as they are and says so once.
TEST_F(ProgramRun, ReadOnlySettingsAreKeptAndTheFailedSaveIsSaid)
{
    TSettings saved;
    saved.Port = "/dev/ttyUSB7";
    ASSERT_EQ(SaveSettings(saved, SettingsFile()), std::nullopt);
    chmod(SettingsFile().c_str(), 0444);
    std::ifstream in(SettingsFile(), std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(in)), {});

    ASSERT_EQ(Run("--port " + sim->SlavePath()), 0);
    std::ifstream after(SettingsFile(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(after), {}), before);
    struct stat info {};
    ASSERT_EQ(stat(SettingsFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0444u);
    const std::string said = Said();
    const std::string line = "Настройки не сохранены: " + SettingsFile() + ": файл только для чтения";
    EXPECT_NE(said.find(line), std::string::npos) << said;
    EXPECT_EQ(said.find(line), said.rfind(line)) << said;
}

TEST(SettingsSave, AFailedSaveIsShownOnceWhenSomeoneIsThere)
{
    TempFolder folder;
    const std::string ini = (folder.Path / "Mirvolen.ini").string();
    TSettings settings;
    ASSERT_TRUE(SaveSettings(settings, ini, true));
    chmod(ini.c_str(), 0444);
    ScriptedUser user;
    settings.RomName = "lost";
    EXPECT_FALSE(SaveSettings(settings, ini, false));
    EXPECT_TRUE(user.Boxes.empty());
    EXPECT_FALSE(SaveSettings(settings, ini, true));
    EXPECT_EQ(user.Boxes,
              (std::vector<ShownBox>{
                  {"Ошибка!", "Настройки не сохранены: " + ini + ": файл только для чтения", TBoxKind::Error}}));
    TSettings after;
    LoadSettings(after, ini);
    EXPECT_EQ(after.RomName, "");
}
