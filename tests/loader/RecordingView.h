// A loader window for tests: the scripted user (answers, messages, status, clock, progress, all in
// Events) that also records list redraws and button updates.
#pragma once

#include "loader/LoaderSession.h"
#include "tests/common/ScriptedDialogue.h"

#include <array>
#include <string>
#include <vector>

class TRecordingView : public TScriptedUser<TLoaderView> {
public:
    const TLoaderSession* Session = nullptr;   // the list is read from it on every redraw

    std::vector<std::array<std::string, 3>> Rows;   // as the last redraw showed them
    bool ButtonsEnabled = false;                    // as the last update left them

    // Events gains "fill" and "buttons:on" / "buttons:off".
    void FillBlockList() override
    {
        Rows.clear();
        for (int32_t row = 1; row <= BlockCount; ++row) Rows.push_back(Session->BlockRowTexts(row));
        Events.push_back("fill");
    }
    void UpdateButtons() override
    {
        ButtonsEnabled = Session->CanChangeBlocks();
        Events.push_back(ButtonsEnabled ? "buttons:on" : "buttons:off");
    }
};
