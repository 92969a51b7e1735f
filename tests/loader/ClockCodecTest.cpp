// The loader clock's register form: packed BCD, ISO day of week, year within the century, and the
// 12-hour form of the hours register that only the loader writes.
#include "loader/LoaderLink.h"

#include "tests/common/SystemTimes.h"
#include "tests/loader/Printers.h"

#include <gtest/gtest.h>

struct DecodeCase {
    const char* name;
    ClockRegisters registers;
    TSystemTime time;
};
class DecodeClockTest : public testing::TestWithParam<DecodeCase> {};
TEST_P(DecodeClockTest, Decodes) { EXPECT_EQ(DecodeClockRegisters(GetParam().registers), GetParam().time); }
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, DecodeClockTest, testing::Values(
    DecodeCase{"Plain", {0x56, 0x34, 0x21, 0x01, 0x25, 0x12, 0x23, 0}, MakeTime(2023, 12, 25, 21, 34, 56, 1)},
    DecodeCase{"SundayIsZero", {0x00, 0x00, 0x00, 0x07, 0x31, 0x12, 0x23, 0}, MakeTime(2023, 12, 31, 0, 0, 0, 0)},
    DecodeCase{"Year2099", {0x00, 0x00, 0x00, 0x05, 0x01, 0x01, 0x99, 0}, MakeTime(2099, 1, 1, 0, 0, 0, 5)},
    DecodeCase{"MasksIgnored", {0xD9, 0x80, 0x80 | 0x23, 0xF6, 0xC1, 0xE2, 0x00, 0xAB},
               MakeTime(2000, 2, 1, 23, 0, 59, 6)},
    DecodeCase{"TwelveAm", {0, 0, 0x40 | 0x12, 1, 1, 1, 0x24, 0}, MakeTime(2024, 1, 1, 0, 0, 0, 1)},
    DecodeCase{"OneAm", {0, 0, 0x40 | 0x01, 1, 1, 1, 0x24, 0}, MakeTime(2024, 1, 1, 1, 0, 0, 1)},
    DecodeCase{"ElevenAm", {0, 0, 0x40 | 0x11, 1, 1, 1, 0x24, 0}, MakeTime(2024, 1, 1, 11, 0, 0, 1)},
    DecodeCase{"TwelvePm", {0, 0, 0x40 | 0x20 | 0x12, 1, 1, 1, 0x24, 0}, MakeTime(2024, 1, 1, 12, 0, 0, 1)},
    DecodeCase{"OnePm", {0, 0, 0x40 | 0x20 | 0x01, 1, 1, 1, 0x24, 0}, MakeTime(2024, 1, 1, 13, 0, 0, 1)},
    DecodeCase{"ElevenPm", {0, 0, 0x40 | 0x20 | 0x11, 1, 1, 1, 0x24, 0}, MakeTime(2024, 1, 1, 23, 0, 0, 1)}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(DecodeClock, TwelveHourFormNeverLeavesTheDay)
{
    ClockRegisters r{0, 0, 0, 1, 1, 1, 0x24, 0};
    for (int value = 0; value < 0x40; ++value) {
        r[2] = static_cast<uint8_t>(0x40 | value);
        EXPECT_LT(DecodeClockRegisters(r).Hour, 24) << "register 2 = " << (0x40 | value);
    }
}

struct EncodeCase {
    const char* name;
    TSystemTime time;
    ClockRegisters registers;
};
class EncodeClockTest : public testing::TestWithParam<EncodeCase> {};
TEST_P(EncodeClockTest, Encodes) { EXPECT_EQ(EncodeClockRegisters(GetParam().time), GetParam().registers); }
// The record's own day of week is wrong on purpose: the register comes from the date.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, EncodeClockTest, testing::Values(
    EncodeCase{"NewYearsEve2023", MakeTime(2023, 12, 31, 23, 59, 58, 3), {0x58, 0x59, 0x23, 7, 0x31, 0x12, 0x23, 0}},
    EncodeCase{"NewYear2024", MakeTime(2024, 1, 1, 0, 0, 0, 0), {0x00, 0x00, 0x00, 1, 0x01, 0x01, 0x24, 0}},
    EncodeCase{"Year2099", MakeTime(2099, 7, 15, 9, 5, 7, 0), {0x07, 0x05, 0x09, 3, 0x15, 0x07, 0x99, 0}},
    EncodeCase{"ImpossibleDateIsMonday", MakeTime(2024, 2, 30, 12, 0, 0, 4), {0x00, 0x00, 0x12, 1, 0x30, 0x02, 0x24, 0}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(ClockCodec, EveryTimeOfDayRoundTrips)
{
    for (int hour = 0; hour < 24; ++hour)
        for (int minute = 0; minute < 60; minute += 7)
            for (int second = 0; second < 60; second += 11) {
                TSystemTime t = MakeTime(2024, 8, 13, hour, minute, second, 2);
                EXPECT_EQ(DecodeClockRegisters(EncodeClockRegisters(t)), t);
            }
}
