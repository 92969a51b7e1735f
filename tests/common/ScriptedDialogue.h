// A user for the workflows in tests: answers questions from a script and records everything the
// workflow showed, in order.
#pragma once

#include "tests/common/ShownBox.h"
#include "util/Dialogue.h"

#include <deque>
#include <string>
#include <vector>

class ScriptedDialogue : public TUserDialogue {
public:
    std::deque<int32_t> Answers;        // for questions; IdNo when the script has run out
    std::vector<ShownBox> Messages;
    std::vector<TMessageId> Ids;        // of Messages, in order
    std::vector<std::string> Statuses;
    std::vector<std::string> Versions;
    std::vector<std::string> Clocks;
    std::vector<int32_t> Progress;
    std::vector<int32_t> Gauge;
    std::vector<bool> Busy;

    // Answered as a person answers the box shown: only a box with Yes and No takes an answer.
    int32_t ShowMessage(const TMessage& m) override
    {
        Messages.push_back({m.Caption, m.Text, m.Flags});
        Ids.push_back(m.Id);
        if ((m.Flags & 0xF) != 4) return IdOk;   // OK-only boxes
        if (Answers.empty()) return IdNo;
        int32_t a = Answers.front();
        Answers.pop_front();
        return a;
    }
    void SetStatus(const std::string& text) override { Statuses.push_back(text); }
    void ShowProgress(int32_t percent) override { Progress.push_back(percent); }
    void SetVersion(const std::string& text) override { Versions.push_back(text); }
    void SetClock(const std::string& text) override { Clocks.push_back(text); }
    void SetBusy(bool busy) override { Busy.push_back(busy); }
    void MoveGauge(int32_t percent) override { Gauge.push_back(percent); }
};
