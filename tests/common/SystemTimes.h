// A date and time record for the loader clock's tests.
#pragma once

#include "loader/LoaderLink.h"

inline TSystemTime MakeTime(int year, int month, int day, int hour, int minute, int second, int dayOfWeek = 0)
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
