#include "util/LocalTime.h"

#include <algorithm>
#include <chrono>
#include <ctime>

TSystemTime SystemLocalTime()
{
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    TSystemTime t;
    t.Year = static_cast<uint16_t>(local.tm_year + 1900);
    t.Month = static_cast<uint16_t>(local.tm_mon + 1);
    t.DayOfWeek = static_cast<uint16_t>(local.tm_wday);
    t.Day = static_cast<uint16_t>(local.tm_mday);
    t.Hour = static_cast<uint16_t>(local.tm_hour);
    t.Minute = static_cast<uint16_t>(local.tm_min);
    t.Second = static_cast<uint16_t>(std::min(local.tm_sec, 59));   // a leap second is not a clock value
    t.Milliseconds = static_cast<uint16_t>(ms);
    return t;
}
