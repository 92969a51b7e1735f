// Readable failure output for the store's records.
#pragma once

#include "loader/BlockStore.h"

#include <ostream>

inline void PrintTo(const SegmentDescriptor& d, std::ostream* os)
{
    *os << "{" << d.Offset << ", " << d.Size << ", 0x" << std::hex << d.Address << std::dec << "}";
}

inline void PrintTo(const TSystemTime& t, std::ostream* os)
{
    *os << t.Year << "-" << t.Month << "-" << t.Day << " (" << t.DayOfWeek << ") " << t.Hour << ":" << t.Minute << ":"
        << t.Second << "." << t.Milliseconds;
}
