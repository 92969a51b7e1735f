// The real program from start to end: it loads the settings beside it, shows the window on the
// saved port, and at the end writes back what the window stored. Run in its own folder, where it
// keeps its settings file, with its hidden screenshot option to end it.
#include "sim/BoardSim.h"
#include "tests/fonts/GlyFiles.h"
#include "util/IniUnit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {
class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start()) << sim.ErrorText();
        fs::copy_file(FLASHER_PROGRAM, folder.Path / "flasher");
    }

    // Runs the program with these arguments; its exit status.
    int Run(const std::string& arguments)
    {
        std::string command = "QT_QPA_PLATFORM=offscreen timeout 120 " + (folder.Path / "flasher").string() +
                              " --screenshot " + Shot() + " " + arguments + " >/dev/null 2>&1";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Ini() const { return (folder.Path / "Mirvolen.ini").string(); }
    std::string Shot() const { return (folder.Path / "shot.png").string(); }

    TBoardSim sim;
    TempFolder folder;
};
} // namespace

TEST_F(ProgramRun, KeepsTheSettingsAcrossARun)
{
    TIniSet saved;
    saved.Port = sim.SlavePath();
    saved.FontFile = "/fonts/шрифт.gly";
    saved.IncludeFont = true;
    saved.LastDir = "/kept/";
    saved.RomName = "Табло 1";
    saved.Position = {10, 20, 0, 0};
    ASSERT_TRUE(SaveIniSet(saved, Ini()));

    ASSERT_EQ(Run(""), 0);
    EXPECT_GT(fs::file_size(Shot()), 0u);
    TIniSet after;
    LoadIniSet(after, Ini());
    EXPECT_EQ(after.Port, sim.SlavePath());
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
    TIniSet after;
    LoadIniSet(after, Ini());
    EXPECT_TRUE(fs::exists(Ini()));
    EXPECT_FALSE(after.IncludeFont);
    EXPECT_EQ(after.FontFile, "");
}

TEST_F(ProgramRun, CommandLinePortIsNotSaved)
{
    TIniSet saved;
    saved.Port = "/dev/ttyUSB7";
    ASSERT_TRUE(SaveIniSet(saved, Ini()));
    ASSERT_EQ(Run("--port " + sim.SlavePath()), 0);
    TIniSet after;
    LoadIniSet(after, Ini());
    EXPECT_EQ(after.Port, "/dev/ttyUSB7");
}

TEST_F(ProgramRun, HelpAndBadOptions)
{
    EXPECT_EQ(Run("--help"), 0);
    EXPECT_FALSE(fs::exists(Ini()));   // nothing started
    EXPECT_EQ(Run("--port"), 2);
}
