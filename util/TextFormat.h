// Stateless text and date routines shared by the whole program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TimeOfDay {
    int32_t Hours = 0;
    int32_t Minutes = 0;
    int32_t Seconds = 0;
};

struct CalendarDate {
    int32_t Day = 0;
    int32_t Month = 0;
    int32_t Year = 0;
};

// Only space and tab are blanks; line breaks stay.
bool IsBlank(char c);
std::string TrimBlanks(std::string_view s);

// Plain separator search, items trimmed; an empty text or separator gives no items.
std::vector<std::string> SplitText(std::string_view s, std::string_view separator);

std::string FormatTime(const TimeOfDay& time, bool withUnits, bool withSeconds);
std::string FormatDate(const CalendarDate& date);

// 1 = Monday ... 7 = Sunday, proleptic Gregorian; 1 for a date that does not exist.
int IsoDayOfWeek(int day, int month, int year);

// Percentages everywhere are rounded half to even, as the board's progress displays expect.
int32_t RoundHalfEven(double value);
// num * 100 / den rounded half to even, computed exactly in integers.
int32_t PercentHalfEven(int64_t num, int64_t den);
