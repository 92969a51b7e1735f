// What the Windows platform files do that the POSIX ones do differently: replacing an existing or
// protected file, refusing devices and folders as input files, UTF-8 names, a missing port.
#include "serial/Serial.h"
#include "util/AtomicFile.h"
#include "util/InputFile.h"
#include "util/Settings.h"
#include "util/Win32Text.h"

#include <gtest/gtest.h>

#include <windows.h>
#undef ReplaceFile

#include <filesystem>
#include <fstream>

namespace {
namespace fs = std::filesystem;

class Win32FileTest : public testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("win32-" + std::to_string(GetCurrentProcessId()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override
    {
        for (const auto& entry : fs::directory_iterator(dir))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(dir);
    }
    // A path in UTF-8, as the program holds it, for a name given in UTF-8.
    std::string Utf8Path(const std::string& name) const { return Utf8FromWide((dir / WideFromUtf8(name)).wstring()); }
    std::string Contents(const std::string& path) const
    {
        std::ifstream in(fs::path(WideFromUtf8(path)), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

// std::rename refuses an existing target on Windows; a dump onto an earlier dump must still work.
TEST_F(Win32FileTest, ReplacesAnExistingFileUnderAUtf8Name)
{
    std::string path = Utf8Path("табло №1.img");
    ASSERT_EQ(ReasonOf(ReplaceFile(path, "first")), "");
    EXPECT_EQ(ReasonOf(ReplaceFile(path, "second")), "");
    EXPECT_EQ(Contents(path), "second");
    EXPECT_FALSE(fs::exists(fs::path(WideFromUtf8(path + ".tmp"))));
}

TEST_F(Win32FileTest, LeavesAReadOnlyFileAsItWasAndSaysWhy)
{
    std::string path = Utf8Path("protected.ini");
    ASSERT_EQ(ReasonOf(ReplaceFile(path, "kept")), "");
    SetFileAttributesW(WideFromUtf8(path).c_str(), FILE_ATTRIBUTE_READONLY);
    std::string error = ReasonOf(ReplaceFile(path, "lost"));
    EXPECT_NE(error, "");
    EXPECT_NE(error.find("только для чтения"), std::string::npos) << error;
    EXPECT_EQ(Contents(path), "kept");
    EXPECT_FALSE(fs::exists(fs::path(WideFromUtf8(path + ".tmp"))));
}

TEST_F(Win32FileTest, FailsWithTheSystemsReasonWhenTheFolderIsMissing)
{
    std::string error = ReasonOf(ReplaceFile(Utf8Path("missing\\file.img"), "x"));
    EXPECT_NE(error, "");
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
    EXPECT_GT(error.size(), Utf8Path("missing\\file.img.tmp: ").size()) << error;
}

TEST_F(Win32FileTest, ReadsOnlyDiskFilesOfAcceptableSize)
{
    std::string small = Utf8Path("шрифт.gly");
    ASSERT_EQ(ReasonOf(ReplaceFile(small, "0123456789")), "");
    std::vector<uint8_t> bytes{1};
    EXPECT_FALSE(ReadInputFile(small, 10, bytes));
    EXPECT_EQ(bytes.size(), 10u);
    struct Case {
        std::string path;
        size_t limit;
        TProblemKind problem;
    };
    const Case cases[] = {
        {small, 9, TProblemKind::TooLarge},
        {Utf8Path("нет.gly"), 100, TProblemKind::Missing},
        {Utf8Path("нет\\нет.gly"), 100, TProblemKind::Missing},
        {Utf8FromWide(dir.wstring()), 100, TProblemKind::NotRegular},
        {"NUL", 100, TProblemKind::NotRegular},
        {"COM1", 100, TProblemKind::NotRegular},
        {"\\\\.\\pipe\\flasher-none", 100, TProblemKind::NotRegular},
    };
    for (const Case& c : cases) {
        bytes = {1};
        TMaybeProblem problem = ReadInputFile(c.path, c.limit, bytes);
        EXPECT_EQ(problem ? std::optional(problem->Kind()) : std::nullopt, std::optional(c.problem)) << c.path;
        EXPECT_TRUE(bytes.empty()) << c.path;
    }
}

// The test program's folder is writable, so the settings file is looked for beside the program.
TEST(Win32SettingsTest, LivesBesideTheProgramWhenItsFolderIsWritable)
{
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::string expected = Utf8FromWide(fs::path(exe).parent_path().wstring()) + "\\" + SettingsFileName;
    EXPECT_EQ(DefaultSettingsPath(), expected);
    for (const auto& entry : fs::directory_iterator(fs::path(exe).parent_path()))
        EXPECT_NE(entry.path().filename().wstring().rfind(L"flasher-probe-", 0), 0u) << "the writability probe stayed";
}

TEST(Win32PortTest, AMissingPortIsNotFoundWithTheSystemsText)
{
    TComPort port(false, true);
    port.Open("COM250");
    ASSERT_TRUE(port.LastFailure());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastFailure()->Kind(), TProblemKind::Missing);
    EXPECT_EQ(port.LastFailure()->Reason(), SystemErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(port.LastFailure()->Reason().empty());
}
}   // namespace

// Wine has no FTDI driver: a port of another driver has no latency timer and nothing is advised;
// the advice for a slow one says where the value lives and that changing it takes an administrator.
TEST(Win32LatencyTest, OnlyAnFtdiPortHasATimerAndTheAdviceSaysWhere)
{
    EXPECT_FALSE(FtdiLatencyWin32("COM97").Known());
    const std::string key =
        "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6001+A1\\0000\\Device Parameters";
    std::string text = SlowAdapterText("COM5", TAdapterLatency(16, key), 617);
    EXPECT_NE(text.find("COM5"), std::string::npos) << text;
    EXPECT_NE(text.find("9,9 с"), std::string::npos) << text;
    EXPECT_NE(text.find(key), std::string::npos) << text;
    EXPECT_NE(text.find("права администратора"), std::string::npos) << text;
}
