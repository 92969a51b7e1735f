// A message box as a test saw it: caption, text and kind, printed readably when a test fails.
#pragma once

#include "util/Dialogue.h"

#include <ostream>
#include <string>

struct ShownBox {
    std::string Caption, Text;
    TBoxKind Kind;
    bool operator==(const ShownBox&) const = default;
};

inline const char* KindName(TBoxKind kind)
{
    switch (kind) {
    case TBoxKind::Error: return "Error";
    case TBoxKind::Information: return "Information";
    case TBoxKind::AskDefaultNo: return "AskDefaultNo";
    case TBoxKind::AskDefaultYes: return "AskDefaultYes";
    }
    return "?";
}

inline void PrintTo(TBoxKind kind, std::ostream* os) { *os << "TBoxKind::" << KindName(kind); }

inline void PrintTo(const ShownBox& box, std::ostream* os)
{
    *os << "{\"" << box.Caption << "\", \"" << box.Text << "\", TBoxKind::" << KindName(box.Kind) << "}";
}

inline void PrintTo(TAnswer answer, std::ostream* os)
{
    *os << (answer == TAnswer::Yes ? "TAnswer::Yes" : answer == TAnswer::No ? "TAnswer::No" : "TAnswer::Ok");
}
