#include "tests/external/BoxScript.h"

#include "util/Dialogue.h"

TBoxScript::TBoxScript()
{
    previous_ = SetMessageHandler([this](QWidget*, const std::string& caption, const std::string& text, TBoxKind kind) {
        Boxes.push_back({caption, text, kind});
        if (!Asks(kind)) return TAnswer::Ok;
        if (Answers.empty()) return TAnswer::No;
        TAnswer answer = Answers.front();
        Answers.pop_front();
        return answer;
    });
}

TBoxScript::~TBoxScript() { SetMessageHandler(previous_); }
