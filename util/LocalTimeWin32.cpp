#include "util/LocalTime.h"

#include <windows.h>

TSystemTime SystemLocalTime()
{
    SYSTEMTIME local{};
    GetLocalTime(&local);
    TSystemTime t;
    t.Year = local.wYear;
    t.Month = local.wMonth;
    t.DayOfWeek = local.wDayOfWeek;
    t.Day = local.wDay;
    t.Hour = local.wHour;
    t.Minute = local.wMinute;
    t.Second = local.wSecond;
    t.Milliseconds = local.wMilliseconds;
    return t;
}
