#include "tests/external/BoxScript.h"

#include "util/Dialogue.h"

TBoxScript::TBoxScript()
{
    previous_ = SetMessageHandler([this](QWidget*, const std::string& caption, const std::string& text, TBoxKind kind) {
        return AnswerFromScript(Boxes, Answers, caption, text, kind);
    });
}

TBoxScript::~TBoxScript() { SetMessageHandler(previous_); }
