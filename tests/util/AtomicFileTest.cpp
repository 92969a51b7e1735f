// Replacing a file whole: what it keeps of the old file and what it refuses to replace.
#include "util/AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
class ReplaceFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("replace-" + std::to_string(getpid()) + "-" +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "file").string();
    }
    void TearDown() override { fs::remove_all(dir); }
    void Write(const std::string& bytes, mode_t mode)
    {
        std::ofstream(path, std::ios::binary) << bytes;
        chmod(path.c_str(), mode);
    }
    static std::string Read(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static mode_t Mode(const std::string& file)
    {
        struct stat s {};
        stat(file.c_str(), &s);
        return s.st_mode & 07777;
    }
    fs::path dir;
    std::string path;
};
}   // namespace

TEST_F(ReplaceFileTest, NewFileIsCreated)
{
    ASSERT_EQ(ReasonOf(ReplaceFile(path, "new")), "");
    EXPECT_EQ(Read(path), "new");
    EXPECT_FALSE(fs::exists(path + ".tmp"));
}

// A private file stays private, a shared one shared: the user chose them.
TEST_F(ReplaceFileTest, ReplacedFileKeepsItsPermissions)
{
    for (mode_t mode : {0600, 0640, 0664, 0755}) {
        Write("old", mode);
        ASSERT_EQ(ReasonOf(ReplaceFile(path, "new")), "");
        EXPECT_EQ(Read(path), "new");
        EXPECT_EQ(Mode(path), mode);
    }
}

// Refused untouched, whoever runs the program (the superuser passes every access check).
TEST_F(ReplaceFileTest, ReadOnlyFileIsNotWritten)
{
    for (mode_t mode : {0444, 0400, 0464}) {
        Write("old", mode);
        EXPECT_EQ(ReasonOf(ReplaceFile(path, "new")), path + ": файл только для чтения");
        EXPECT_EQ(Read(path), "old");
        EXPECT_EQ(Mode(path), mode);
        EXPECT_FALSE(fs::exists(path + ".tmp"));
    }
}

TEST_F(ReplaceFileTest, WhatIsNotARegularFileIsNotReplaced)
{
    fs::create_directory(path);
    EXPECT_EQ(ReasonOf(ReplaceFile(path, "new")), path + ": это не обычный файл");
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(ReplaceFileTest, LinkStaysALinkAndItsTargetIsReplaced)
{
    const std::string target = (dir / "target").string();
    std::ofstream(target) << "old";
    chmod(target.c_str(), 0600);
    fs::create_symlink(target, path);
    ASSERT_EQ(ReasonOf(ReplaceFile(path, "new")), "");
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(Read(target), "new");
    EXPECT_EQ(Mode(target), 0600u);

    chmod(target.c_str(), 0444);
    EXPECT_TRUE(ReplaceFile(path, "newer"));
    EXPECT_EQ(Read(target), "new");

    fs::remove(target);
    EXPECT_EQ(ReasonOf(ReplaceFile(path, "new")), path + ": ссылка ведёт к несуществующему файлу");
    EXPECT_FALSE(fs::exists(target));
}
