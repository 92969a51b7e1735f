// A message box as a test saw it: caption, text and kind, printed readably when a test fails.
#pragma once

#include "util/Dialogue.h"

#include <deque>
#include <ostream>
#include <string>
#include <vector>

struct ShownBox {
    std::string Caption, Text;
    TBoxKind Kind;
    bool operator==(const ShownBox&) const = default;
};

// A scripted user's turn at a box: it is recorded; a question takes the next scripted answer, or No
// when the script has run out; any other box is acknowledged.
inline TAnswer AnswerFromScript(std::vector<ShownBox>& boxes, std::deque<TAnswer>& answers, const std::string& caption,
                                const std::string& text, TBoxKind kind)
{
    boxes.push_back({caption, text, kind});
    if (!Asks(kind)) return TAnswer::Ok;
    if (answers.empty()) return TAnswer::No;
    TAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

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
