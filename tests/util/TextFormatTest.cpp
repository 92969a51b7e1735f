#include "util/TextFormat.h"

#include <gtest/gtest.h>

using Items = std::vector<std::string>;

TEST(TrimBlanks, OnlySpaceAndTabAreBlanks)
{
    EXPECT_EQ(TrimBlanks("\t  x\r"), "x\r");
    EXPECT_EQ(TrimBlanks(" \t "), "");
    EXPECT_EQ(TrimBlanks(""), "");
    EXPECT_EQ(TrimBlanks("\na b\n"), "\na b\n");
}

struct SplitCase {
    const char* text;
    const char* sep;
    Items items;
};
class SplitTextTest : public testing::TestWithParam<SplitCase> {};
TEST_P(SplitTextTest, Splits) { EXPECT_EQ(SplitText(GetParam().text, GetParam().sep), GetParam().items); }
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, SplitTextTest, testing::Values(
    SplitCase{"a, b,c", ",", {"a", "b", "c"}},
    SplitCase{"a,b,", ",", {"a", "b", ""}},
    SplitCase{",a", ",", {"", "a"}},
    SplitCase{"  ", ",", {}},
    SplitCase{"a", ",", {"a"}},
    SplitCase{"a,b", "", {}},
    SplitCase{"a::b:c", "::", {"a", "b:c"}}));
// clang-format on

struct TimeCase {
    TimeOfDay t;
    bool units, seconds;
    const char* text;
};
class FormatTimeTest : public testing::TestWithParam<TimeCase> {};
TEST_P(FormatTimeTest, Formats)
{
    EXPECT_EQ(FormatTime(GetParam().t, GetParam().units, GetParam().seconds), GetParam().text);
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, FormatTimeTest, testing::Values(
    TimeCase{{9, 5, 7}, false, false, "9:05"},
    TimeCase{{9, 5, 7}, false, true, "9:05.07"},
    TimeCase{{9, 5, 7}, true, false, "9ч. 05мин."},
    TimeCase{{9, 5, 7}, true, true, "9ч. 05мин. 07с."},
    TimeCase{{25, 123, 0}, false, false, "1:12"},
    TimeCase{{0, -5, 0}, false, false, "0:-5"},
    TimeCase{{-1, 0, 0}, false, false, "-1:00"},
    TimeCase{{22, 22, 0}, false, false, "22:22"}));
// clang-format on

TEST(FormatDate, DayPlainMonthTwoDigits)
{
    EXPECT_EQ(FormatDate({5, 8, 2004}), "5.08.2004");
    EXPECT_EQ(FormatDate({13, 12, 2004}), "13.12.2004");
    EXPECT_EQ(FormatDate({1, 123, 2004}), "1.123.2004");
}

struct DowCase {
    int d, m, y, dow;
};
class IsoDayOfWeekTest : public testing::TestWithParam<DowCase> {};
TEST_P(IsoDayOfWeekTest, Computes)
{
    EXPECT_EQ(IsoDayOfWeek(GetParam().d, GetParam().m, GetParam().y), GetParam().dow);
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, IsoDayOfWeekTest, testing::Values(
    DowCase{31, 12, 2023, 7}, DowCase{1, 1, 2024, 1}, DowCase{29, 2, 2024, 4},
    DowCase{30, 2, 2024, 1}, DowCase{29, 2, 2023, 1}, DowCase{1, 1, 1, 1}, DowCase{31, 12, 9999, 5},
    DowCase{1, 1, 0, 1}, DowCase{1, 13, 2024, 1}, DowCase{0, 1, 2024, 1}, DowCase{13, 8, 2004, 5}));
// clang-format on

TEST(Percent, RoundsHalfToEven)
{
    EXPECT_EQ(PercentHalfEven(38, 304), 12);   // 12.5 -> 12
    EXPECT_EQ(PercentHalfEven(1, 304), 0);
    EXPECT_EQ(PercentHalfEven(304, 304), 100);
    EXPECT_EQ(PercentHalfEven(128, 1024), 12);   // 12.5 -> 12
    EXPECT_EQ(PercentHalfEven(3, 8), 38);        // 37.5 -> 38
    EXPECT_EQ(PercentHalfEven(5, 32), 16);       // 15.625
    EXPECT_EQ(PercentHalfEven(1, 0), 0);
    EXPECT_EQ(RoundHalfEven(20.5), 20);
    EXPECT_EQ(RoundHalfEven(205.1), 205);
}
