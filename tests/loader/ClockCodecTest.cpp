// The loader clock's register form: packed BCD, ISO day of week, year within the century, and the
// 12-hour form of the hours register that only the loader writes.
#include "loader/LoaderLink.h"

#include "tests/loader/Printers.h"

#include <gtest/gtest.h>

namespace {
TSystemTime Time(int year, int month, int dayOfWeek, int day, int hour, int minute, int second)
{
    TSystemTime t;
    t.Year = static_cast<uint16_t>(year);
    t.Month = static_cast<uint16_t>(month);
    t.DayOfWeek = static_cast<uint16_t>(dayOfWeek);
    t.Day = static_cast<uint16_t>(day);
    t.Hour = static_cast<uint16_t>(hour);
    t.Minute = static_cast<uint16_t>(minute);
    t.Second = static_cast<uint16_t>(second);
    return t;
}
} // namespace

struct DecodeCase {
    const char* name;
    ClockRegisters registers;
    TSystemTime time;
};
class DecodeClockTest : public testing::TestWithParam<DecodeCase> {};
TEST_P(DecodeClockTest, Decodes) { EXPECT_EQ(DecodeClockRegisters(GetParam().registers), GetParam().time); }
INSTANTIATE_TEST_SUITE_P(Cases, DecodeClockTest, testing::Values(
    DecodeCase{"Plain", {0x56, 0x34, 0x21, 0x01, 0x25, 0x12, 0x23, 0}, Time(2023, 12, 1, 25, 21, 34, 56)},
    DecodeCase{"SundayIsZero", {0x00, 0x00, 0x00, 0x07, 0x31, 0x12, 0x23, 0}, Time(2023, 12, 0, 31, 0, 0, 0)},
    DecodeCase{"Year2099", {0x00, 0x00, 0x00, 0x05, 0x01, 0x01, 0x99, 0}, Time(2099, 1, 5, 1, 0, 0, 0)},
    DecodeCase{"MasksIgnored", {0xD9, 0x80, 0x80 | 0x23, 0xF6, 0xC1, 0xE2, 0x00, 0xAB},
               Time(2000, 2, 6, 1, 23, 0, 59)},
    DecodeCase{"TwelveAm", {0, 0, 0x40 | 0x12, 1, 1, 1, 0x24, 0}, Time(2024, 1, 1, 1, 0, 0, 0)},
    DecodeCase{"OneAm", {0, 0, 0x40 | 0x01, 1, 1, 1, 0x24, 0}, Time(2024, 1, 1, 1, 1, 0, 0)},
    DecodeCase{"ElevenAm", {0, 0, 0x40 | 0x11, 1, 1, 1, 0x24, 0}, Time(2024, 1, 1, 1, 11, 0, 0)},
    DecodeCase{"TwelvePm", {0, 0, 0x40 | 0x20 | 0x12, 1, 1, 1, 0x24, 0}, Time(2024, 1, 1, 1, 12, 0, 0)},
    DecodeCase{"OnePm", {0, 0, 0x40 | 0x20 | 0x01, 1, 1, 1, 0x24, 0}, Time(2024, 1, 1, 1, 13, 0, 0)},
    DecodeCase{"ElevenPm", {0, 0, 0x40 | 0x20 | 0x11, 1, 1, 1, 0x24, 0}, Time(2024, 1, 1, 1, 23, 0, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

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
INSTANTIATE_TEST_SUITE_P(Cases, EncodeClockTest, testing::Values(
    EncodeCase{"NewYearsEve2023", Time(2023, 12, 3, 31, 23, 59, 58), {0x58, 0x59, 0x23, 7, 0x31, 0x12, 0x23, 0}},
    EncodeCase{"NewYear2024", Time(2024, 1, 0, 1, 0, 0, 0), {0x00, 0x00, 0x00, 1, 0x01, 0x01, 0x24, 0}},
    EncodeCase{"Year2099", Time(2099, 7, 0, 15, 9, 5, 7), {0x07, 0x05, 0x09, 3, 0x15, 0x07, 0x99, 0}},
    EncodeCase{"ImpossibleDateIsMonday", Time(2024, 2, 4, 30, 12, 0, 0), {0x00, 0x00, 0x12, 1, 0x30, 0x02, 0x24, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClockCodec, EveryTimeOfDayRoundTrips)
{
    for (int hour = 0; hour < 24; ++hour)
        for (int minute = 0; minute < 60; minute += 7)
            for (int second = 0; second < 60; second += 11) {
                TSystemTime t = Time(2024, 8, 2, 13, hour, minute, second);
                EXPECT_EQ(DecodeClockRegisters(EncodeClockRegisters(t)), t);
            }
}
