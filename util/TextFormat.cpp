#include "util/TextFormat.h"

#include <cmath>

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimBlanks(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

std::vector<std::string> SplitText(std::string_view s, std::string_view separator)
{
    std::vector<std::string> items;
    std::string rest = TrimBlanks(s);
    if (rest.empty() || separator.empty()) return items;
    for (;;) {
        size_t p = rest.find(separator);
        if (p == std::string::npos) {
            items.push_back(TrimBlanks(rest));
            return items;
        }
        items.push_back(TrimBlanks(std::string_view(rest).substr(0, p)));
        rest.erase(0, p + separator.size());
    }
}

namespace {
// Two characters at most; a single character gets a leading "0" ("-5" stays "-5").
std::string TwoCharField(int32_t v)
{
    std::string t = std::to_string(v);
    if (t.size() > 2) t.resize(2);
    if (t.size() < 2) t = "0" + t;
    return t;
}
}   // namespace

std::string FormatTime(const TimeOfDay& time, bool withUnits, bool withSeconds)
{
    std::string minutes = TwoCharField(time.Minutes);
    std::string hours = std::to_string(time.Hours % 24);
    std::string text = withUnits ? hours + "ч. " + minutes + "мин." : hours + ":" + minutes;
    if (withSeconds) {
        std::string seconds = TwoCharField(time.Seconds);
        text += withUnits ? " " + seconds + "с." : "." + seconds;
    }
    return text;
}

std::string FormatDate(const CalendarDate& date)
{
    std::string month = std::to_string(date.Month);
    if (month.size() == 1) month = "0" + month;
    return std::to_string(date.Day) + "." + month + "." + std::to_string(date.Year);
}

namespace {
bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int month, int year)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}
}   // namespace

int IsoDayOfWeek(int day, int month, int year)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12) return 1;
    if (day < 1 || day > DaysInMonth(month, year)) return 1;
    // Days since 0001-01-01 (a Monday) in the proleptic Gregorian calendar.
    int y = year - 1;
    long days = 365L * y + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m) days += DaysInMonth(m, year);
    days += day - 1;
    return static_cast<int>(days % 7) + 1;
}

int32_t RoundHalfEven(double value) { return static_cast<int32_t>(std::nearbyint(value)); }

int32_t PercentHalfEven(int64_t num, int64_t den)
{
    if (den <= 0) return 0;
    int64_t scaled = num * 100;
    int64_t q = scaled / den, r = scaled % den;
    if (2 * r > den || (2 * r == den && (q % 2) != 0)) ++q;
    return static_cast<int32_t>(q);
}
