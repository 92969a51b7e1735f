#include "util/Settings.h"
#include "util/Cp1251.h"
#include "util/SettingsPlatform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Ints = std::array<int32_t, 4>;
using Items = std::vector<std::string>;

namespace {
class SettingsFile : public testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("ini-" + std::to_string(getpid()) + "-" + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "Mirvolen.ini").string();
    }
    void TearDown() override
    {
        chmod(dir.c_str(), 0755);
        fs::remove_all(dir);
    }
    void Write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    std::string Read() const
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    TSettings Load() const
    {
        TSettings s;
        LoadSettings(s, path);
        return s;
    }
    fs::path dir;
    std::string path;
};

const char* const kEmptyFile = "[Settings]\r\nPosition=0,0,0,0\r\nLastDir=\r\nFileName=\r\nPort=\r\nLastFontDir=\r\n"
                               "FontFile=\r\nIncludeFont=0\r\nRomName=\r\n";
}   // namespace

TEST_F(SettingsFile, MissingFileGivesTheEmptyRecordAndSaveCreatesAllNineLines)
{
    TSettings s = Load();
    EXPECT_EQ(s.Position, (Ints{0, 0, 0, 0}));
    EXPECT_TRUE(s.Port.empty() && s.FontFile.empty() && s.RomName.empty() && s.LastDir.empty());
    EXPECT_FALSE(s.IncludeFont);
    ASSERT_EQ(SaveSettings(s, path), std::nullopt);
    EXPECT_EQ(Read(), kEmptyFile);
}

TEST_F(SettingsFile, RoundTripKeepsEveryFieldAndWritesCp1251)
{
    TSettings s;
    s.Position = {10, 20, -510, 420};
    s.LastDir = "C:\\Прошивки\\  старые ";
    s.FileName = "x=y;z";
    s.Port = "/dev/ttyUSB0";
    s.LastFontDir = "/home/техник/fonts/";
    s.FontFile = "/home/техник/fonts/big.gly";
    s.IncludeFont = true;
    s.RomName = "Табло №5";
    ASSERT_EQ(SaveSettings(s, path), std::nullopt);
    std::string bytes = Read();
    EXPECT_NE(bytes.find("RomName=" + Utf8ToCp1251("Табло №5") + "\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("Position=10,20,-510,420\r\nLastDir="), std::string::npos);
    for (int run = 0; run < 3; ++run) {   // survives any number of runs unchanged
        TSettings again = Load();
        ASSERT_EQ(SaveSettings(again, path), std::nullopt);
    }
    TSettings back = Load();
    EXPECT_EQ(back.Position, s.Position);
    EXPECT_EQ(back.LastDir, s.LastDir);
    EXPECT_EQ(back.FileName, s.FileName);
    EXPECT_EQ(back.Port, s.Port);
    EXPECT_EQ(back.LastFontDir, s.LastFontDir);
    EXPECT_EQ(back.FontFile, s.FontFile);
    EXPECT_EQ(back.IncludeFont, s.IncludeFont);
    EXPECT_EQ(back.RomName, s.RomName);
    EXPECT_EQ(Read(), bytes);
}

TEST_F(SettingsFile, KeysInAnyOrderAndCaseExtrasDroppedAtSave)
{
    Write("; comment\n[Other]\nPort=COM9\n[settings]\nromname=R\nINCLUDEFONT=2\nExtra=1\n"
          "port=COM3\nPosition=10 , 20\nPort=COM4\n[More]\nFontFile=no\n");
    TSettings s = Load();
    EXPECT_EQ(s.Port, "COM3");
    EXPECT_EQ(s.RomName, "R");
    EXPECT_TRUE(s.IncludeFont);
    EXPECT_EQ(s.Position, (Ints{10, 20, 0, 0}));
    EXPECT_EQ(s.FontFile, "");
    ASSERT_EQ(SaveSettings(s, path), std::nullopt);
    EXPECT_EQ(Read(), "[Settings]\r\nPosition=10,20,0,0\r\nLastDir=\r\nFileName=\r\nPort=COM3\r\n"
                      "LastFontDir=\r\nFontFile=\r\nIncludeFont=1\r\nRomName=R\r\n");
}

TEST_F(SettingsFile, MalformedFileGivesEmptyFields)
{
    Write(std::string("\x00\xFF[Settings\nIncludeFont=yes\n=\nPosition\n", 40));
    TSettings s = Load();
    EXPECT_FALSE(s.IncludeFont);
    EXPECT_EQ(s.Position, (Ints{0, 0, 0, 0}));
    Write("[Settings]\nIncludeFont=yes\nPosition=a,b\n");
    s = Load();
    EXPECT_FALSE(s.IncludeFont);
    EXPECT_EQ(s.Position, (Ints{0, 0, 0, 0}));
}

TEST_F(SettingsFile, FailedSaveLeavesTheOldFileIntact)
{
    Write(kEmptyFile);
    TSettings s;
    s.RomName = "new";
    fs::create_directory(path + ".tmp");   // the temporary file cannot be created
    EXPECT_TRUE(SaveSettings(s, path));    // refused
    EXPECT_EQ(Read(), kEmptyFile);
    fs::remove(path + ".tmp");

    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    chmod(dir.c_str(), 0555);
    EXPECT_TRUE(SaveSettings(s, path));   // refused
    EXPECT_EQ(Read(), kEmptyFile);
}

// The user's choice about the file stands: a read-only file stays as it is, a private one private.
TEST_F(SettingsFile, SaveKeepsTheFilesPermissionsAndLeavesAReadOnlyFileAlone)
{
    Write(kEmptyFile);
    TSettings s;
    s.RomName = "new";
    chmod(path.c_str(), 0600);
    ASSERT_EQ(ReasonOf(SaveSettings(s, path)), "");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    Write(kEmptyFile);
    chmod(path.c_str(), 0444);
    EXPECT_EQ(SaveSettings(s, path), TProblem(TProblemKind::NoPermission, path + ": файл только для чтения"));
    EXPECT_EQ(Read(), kEmptyFile);
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0444u);
}

TEST_F(SettingsFile, NoSettingsPathLoadsNothingAndSaveSaysWhy)
{
    TSettings s;
    s.Port = "COM1";
    LoadSettings(s, "");
    EXPECT_EQ(s.Port, "COM1");
    TMaybeProblem problem = SaveSettings(s, "");
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->Reason(), "");
}

// A pipe in the settings file's place must not hold the program's start up.
TEST_F(SettingsFile, WhatIsNotARegularFileReadsAsEmpty)
{
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    TSettings s = Load();
    EXPECT_TRUE(s.Port.empty());
    EXPECT_EQ(SaveSettings(s, path), TProblem(TProblemKind::NotRegular, path + ": это не обычный файл"));
}

#if defined(__unix__)   // where a user's configuration folder is found on POSIX systems
struct ConfigBaseCase {
    const char* name;
    const char* xdg;
    const char* home;
    const char* account;
    std::string base;
};
class SettingsFolder : public testing::TestWithParam<ConfigBaseCase> {};
TEST_P(SettingsFolder, ComesFromAnAbsolutePathOrIsNone)
{
    const ConfigBaseCase& c = GetParam();
    EXPECT_EQ(ConfigBase(c.xdg, c.home, c.account), c.base);
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Environment, SettingsFolder, testing::Values(
    ConfigBaseCase{"XdgFirst", "/xdg", "/home/u", "/home/a", "/xdg"},
    ConfigBaseCase{"Home", nullptr, "/home/u", "/home/a", "/home/u/.config"},
    ConfigBaseCase{"RelativeXdgIgnored", "cfg", "/home/u", "/home/a", "/home/u/.config"},
    ConfigBaseCase{"NoHomeTakesTheAccounts", nullptr, nullptr, "/home/a", "/home/a/.config"},
    ConfigBaseCase{"EmptyHomeTakesTheAccounts", "", "", "/home/a", "/home/a/.config"},
    ConfigBaseCase{"RelativeHomeTakesTheAccounts", nullptr, ".", "/home/a", "/home/a/.config"},
    ConfigBaseCase{"NoneAtAll", nullptr, nullptr, nullptr, ""},
    ConfigBaseCase{"RelativeEverywhere", "x", "y", "z", ""}),
    [](const testing::TestParamInfo<ConfigBaseCase>& info) { return std::string(info.param.name); });
// clang-format on

// Installed by the package, the program keeps its settings in the user's folder even as root.
TEST(SettingsFolder, NeverInTheSystemsProgramFolders)
{
    EXPECT_TRUE(IsSystemProgramDir("/usr/bin/"));
    EXPECT_TRUE(IsSystemProgramDir("/usr/local/bin/"));
    EXPECT_FALSE(IsSystemProgramDir("/home/t/flasher/build/bin/"));
    EXPECT_FALSE(IsSystemProgramDir("/usr"));
}
#endif

// The owners of a settings record load and save it at this path.
TEST(SettingsPath, BesideTheProgramWhenItsFolderIsWritable)
{
    const std::string dir = ProgramDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(fs::path(dir) / "", fs::read_symlink("/proc/self/exe").parent_path() / "");
    if (access(dir.c_str(), W_OK) != 0) GTEST_SKIP() << "the test program's folder is read-only";
    EXPECT_EQ(DefaultSettingsPath(), dir + "Mirvolen.ini");
}

struct IntsCase {
    const char* text;
    Ints values;
};
class TextToFourIntsTest : public testing::TestWithParam<IntsCase> {};
TEST_P(TextToFourIntsTest, Converts)
{
    Ints v{9, 9, 9, 9};
    TextToFourInts(GetParam().text, v);
    EXPECT_EQ(v, GetParam().values);
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, TextToFourIntsTest, testing::Values(
    IntsCase{"10,20,510,420", {10, 20, 510, 420}},
    IntsCase{"10 , 20", {10, 20, 0, 0}},
    IntsCase{"1, 2", {1, 2, 0, 0}},
    IntsCase{"1,2,3,4,5", {1, 2, 3, 4}},
    IntsCase{"7x,-3,,$10", {7, -3, 0, 16}},
    IntsCase{"-5x", {5, 0, 0, 0}},
    IntsCase{"+4,0x1f,X1F,0XaB", {4, 31, 31, 171}},
    IntsCase{"-,--5,$,0x", {0, 0, 0, 0}},
    IntsCase{"", {0, 0, 0, 0}},
    // Outside the signed 32-bit range: clamped.
    IntsCase{"2147483647,-2147483648,99999999999,-99999999999", {2147483647, INT32_MIN, 2147483647, INT32_MIN}},
    IntsCase{"$FFFFFFFF,99999999999x", {2147483647, 2147483647, 0, 0}}));
// clang-format on

TEST(FourIntsToText, JoinsWithoutBlanks)
{
    EXPECT_EQ(FourIntsToText({10, 20, 630, 470}), "10,20,630,470");
    EXPECT_EQ(FourIntsToText({-1, 0, INT32_MIN, INT32_MAX}), "-1,0,-2147483648,2147483647");
}

struct FindCase {
    const char* sub;
    const char* text;
    size_t pos;
};
class FindTopLevelTest : public testing::TestWithParam<FindCase> {};
TEST_P(FindTopLevelTest, Finds) { EXPECT_EQ(FindTopLevel(GetParam().sub, GetParam().text), GetParam().pos); }
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, FindTopLevelTest, testing::Values(
    FindCase{",", "f(a,b),c", 7}, FindCase{",", "'a,b'", 0}, FindCase{",", "x]),y", 0},
    FindCase{",", ",)", 1}, FindCase{",", "", 0}, FindCase{"'", "a'b", 0}, FindCase{"(", "a(b", 0},
    FindCase{")", "(a)", 3}, FindCase{",", "[a,b],c", 6}, FindCase{"ab", "x(ab)ab", 6}));
// clang-format on

TEST(SplitTopLevel, KeepsQuotesAndBracketsInItems)
{
    EXPECT_EQ(SplitTopLevel("(1,2), 'a,b' ,3", ','), (Items{"(1,2)", "'a,b'", "3"}));
    EXPECT_EQ(SplitTopLevel("a,b,", ','), (Items{"a", "b", ""}));
    EXPECT_EQ(SplitTopLevel(" \t", ','), Items{});
}
