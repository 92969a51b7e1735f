#include "tests/external/BoxScript.h"

#include "util/Dialogue.h"

TBoxScript::TBoxScript()
{
    previous_ = SetMessageHandler([this](QWidget*, const std::string& caption, const std::string& text, uint32_t flags) {
        Boxes.push_back({caption, text, flags});
        if ((flags & 0x0F) != 4) return IdOk;
        if (Answers.empty()) return IdNo;
        int32_t answer = Answers.front();
        Answers.pop_front();
        return answer;
    });
}

TBoxScript::~TBoxScript() { SetMessageHandler(previous_); }
