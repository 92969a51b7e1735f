// A message box as a test saw it: caption, text and flags, printed readably when a test fails.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>

struct ShownBox {
    std::string Caption, Text;
    uint32_t Flags;
    bool operator==(const ShownBox&) const = default;
};

inline void PrintTo(const ShownBox& box, std::ostream* os)
{
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%04X", box.Flags);
    *os << "{\"" << box.Caption << "\", \"" << box.Text << "\", " << flags << "}";
}
