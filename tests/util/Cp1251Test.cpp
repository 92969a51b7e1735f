#include "util/Cp1251.h"

#include <gtest/gtest.h>

TEST(Cp1251, RussianTextBothWays)
{
    const std::string bytes = "\xD2\xE0\xE1\xEB\xEE \xB8\xA8 \xB9";   // "Табло ёЁ №"
    EXPECT_EQ(Cp1251ToUtf8(bytes), "Табло ёЁ №");
    EXPECT_EQ(Utf8ToCp1251("Табло ёЁ №"), bytes);
}

TEST(Cp1251, CharactersItCannotHoldBecomeQuestionMarks)
{
    EXPECT_EQ(Utf8ToCp1251("a€b✓c😀"), "a\x88"
                                      "b?c?");
    EXPECT_EQ(Utf8ToCp1251("\xFF\xC3"), "??");   // malformed UTF-8
}

TEST(Cp1251, EveryByteSurvivesARoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

// Each malformed sequence is one "?", and the text after it is read as usual: an overlong "/" must
// never come out as "/".
struct MalformedCase {
    const char* name;
    std::string utf8;
    std::string cp1251;
};
class MalformedUtf8 : public testing::TestWithParam<MalformedCase> {};
TEST_P(MalformedUtf8, BecomesOneQuestionMarkEach) { EXPECT_EQ(Utf8ToCp1251(GetParam().utf8), GetParam().cp1251); }
// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, MalformedUtf8, testing::Values(
    MalformedCase{"OverlongSlash", "a\xC0\xAF" "b", "a?b"},
    MalformedCase{"OverlongSlashThreeBytes", "\xE0\x80\xAF/", "?/"},
    MalformedCase{"OverlongNulFourBytes", "\xF0\x80\x80\x80", "?"},
    MalformedCase{"OverlongCyrillic", "\xE0\x90\x90", "?"},          // U+0410 in three bytes
    MalformedCase{"HighSurrogate", "\xED\xA0\x80x", "?x"},
    MalformedCase{"LowSurrogate", "\xED\xBF\xBF", "?"},
    MalformedCase{"PastTheLastCodePoint", "\xF4\x90\x80\x80", "?"},
    MalformedCase{"FiveByteForm", "\xF8\x88\x80\x80\x80z", "?z"},
    MalformedCase{"SixByteForm", "\xFC\x84\x80\x80\x80\x80", "?"},
    MalformedCase{"CutShortByText", "\xD0" "A\xE2\x82" "B", "?A?B"},
    MalformedCase{"CutShortAtTheEnd", "\xF0\x9F\x98", "?"},
    MalformedCase{"StrayContinuations", "\x80\xBF", "??"},
    MalformedCase{"NeverALead", "\xFE\xFF", "??"},
    MalformedCase{"ShortestCyrillicIsKept", "\xD0\x90", "\xC0"}),
    [](const testing::TestParamInfo<MalformedCase>& info) { return std::string(info.param.name); });
// clang-format on
