// The operating system's date and time record, and the computer's local time in it.
#pragma once

#include <cstdint>

// DayOfWeek 0 = Sunday ... 6 = Saturday.
struct TSystemTime {
    uint16_t Year = 0;
    uint16_t Month = 0;
    uint16_t DayOfWeek = 0;
    uint16_t Day = 0;
    uint16_t Hour = 0;
    uint16_t Minute = 0;
    uint16_t Second = 0;
    uint16_t Milliseconds = 0;
    bool operator==(const TSystemTime&) const = default;
};

// The computer's local time now (for the loader clock; timeouts and pauses never use it).
TSystemTime SystemLocalTime();
