// The user at the window tests' message boxes: records each box and answers the questions from a
// script. Installs itself as the message-box handler while it lives.
#pragma once

#include "tests/common/ShownBox.h"
#include "widgets/FileDialog.h"

#include <deque>
#include <vector>

class TBoxScript {
public:
    TBoxScript();
    ~TBoxScript();
    TBoxScript(const TBoxScript&) = delete;
    TBoxScript& operator=(const TBoxScript&) = delete;

    std::vector<ShownBox> Boxes;
    std::deque<TAnswer> Answers;   // for Yes/No boxes; No when the script has run out

private:
    TMessageHandler previous_;
};
