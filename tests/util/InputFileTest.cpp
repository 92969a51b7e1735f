#include "util/InputFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;

class InputFileTest : public testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("input-file-" + std::to_string(getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    std::string Make(const char* name, size_t size)
    {
        std::ofstream(dir / name, std::ios::binary) << std::string(size, 'x');
        return (dir / name).string();
    }
    std::optional<TProblemKind> Read(const std::string& path, size_t limit = 16)
    {
        TMaybeProblem problem = ReadInputFile(path, limit, bytes);
        return problem ? std::optional(problem->Kind()) : std::nullopt;
    }
    std::vector<uint8_t> bytes{1, 2, 3};
};

TEST_F(InputFileTest, ReadsARegularFileUpToItsLimit)
{
    EXPECT_EQ(Read(Make("exact", 16)), std::nullopt);
    EXPECT_EQ(bytes, std::vector<uint8_t>(16, 'x'));
    EXPECT_EQ(Read(Make("empty", 0)), std::nullopt);
    EXPECT_TRUE(bytes.empty());
}

// Each of these once hung, aborted or filled memory before the file was refused.
TEST_F(InputFileTest, RefusesWhatIsNotAReadableRegularFileOfAcceptableSize)
{
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::string locked = Make("locked", 4);
    chmod(locked.c_str(), 0);
    struct Case {
        std::string path;
        TProblemKind expected;
    };
    std::vector<Case> cases = {
        {(dir / "absent").string(), TProblemKind::Missing},
        {dir.string(), TProblemKind::NotRegular},
        {(dir / "fifo").string(), TProblemKind::NotRegular},   // must not block in open
        {"/dev/zero", TProblemKind::NotRegular},               // must not stream forever
        {Make("big", 17), TProblemKind::TooLarge},
    };
    if (geteuid() != 0) cases.push_back({locked, TProblemKind::NoPermission});
    for (const Case& c : cases) {
        bytes = {1};
        EXPECT_EQ(Read(c.path), std::optional(c.expected)) << c.path;
        EXPECT_TRUE(bytes.empty()) << c.path;
    }
}

TEST(InputFileProblem, SaysTheReasonAndTheLimit)
{
    EXPECT_EQ(InputFileProblem(TProblemKind::Unreadable, 9).Reason(), "файл не читается");
    EXPECT_EQ(InputFileProblem(TProblemKind::Missing, 9).Reason(), "файл не найден");
    EXPECT_NE(InputFileProblem(TProblemKind::TooLarge, 9747).Reason().find("9747"), std::string::npos);
}
}   // namespace
