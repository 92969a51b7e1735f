#include "util/PathName.h"

#include <gtest/gtest.h>

struct PathCase {
    const char* path;
    const char* name;
    const char* folder;
    const char* ext;
};
class PathTest : public testing::TestWithParam<PathCase> {};
TEST_P(PathTest, Splits)
{
    const PathCase& c = GetParam();
    EXPECT_EQ(FileNameOf(c.path), c.name);
    EXPECT_EQ(FolderOf(c.path), c.folder);
    EXPECT_EQ(ExtOf(c.path), c.ext);
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, PathTest, testing::Values(
    PathCase{"C:\\A\\B.GLY", "B.GLY", "C:\\A\\", "GLY"},
    PathCase{"B.GLY", "B.GLY", "", "GLY"},
    PathCase{"/home/t/fonts/b.gly", "b.gly", "/home/t/fonts/", "gly"},
    PathCase{"C:\\A.B\\FILE", "FILE", "C:\\A.B\\", ""},
    PathCase{"/a.b/file", "file", "/a.b/", ""},
    PathCase{"FILE.", "FILE.", "", ""},
    PathCase{"dir/", "", "dir/", ""},
    PathCase{"", "", "", ""}));
// clang-format on

TEST(FilterIndexOf, FindsThePairWhosePatternHoldsTheExtension)
{
    const char* fonts = "Файлы шрифтов для прошивки (*.gly)|*.gly";
    EXPECT_EQ(FilterIndexOf(fonts, "gly"), 1);
    EXPECT_EQ(FilterIndexOf(fonts, "bin"), 1);
    EXPECT_EQ(FilterIndexOf(fonts, "g"), 1);
    EXPECT_EQ(FilterIndexOf(fonts, ""), 1);
    EXPECT_EQ(FilterIndexOf("Bin|*.bin|Fonts|*.gly;*.fnt", "FNT"), 2);
    EXPECT_EQ(FilterIndexOf("Bin|*.bin|Fonts", "gly"), 1);
}
