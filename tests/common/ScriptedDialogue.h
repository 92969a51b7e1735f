// A user for the workflows in tests: answers questions from a script and records everything the
// workflow showed, in order. The one scripted user of the tests: a test double that must also be
// some other view (the loader window's TLoaderView) derives from TScriptedUser<ThatView>.
#pragma once

#include "tests/common/ShownBox.h"
#include "util/Dialogue.h"

#include <deque>
#include <string>
#include <vector>

template <class View> class TScriptedUser : public View {
public:
    std::deque<TAnswer> Answers;   // for questions; No when the script has run out
    std::vector<ShownBox> Messages;
    std::vector<TMessageId> Ids;   // of Messages, in order
    std::vector<std::string> Statuses;
    std::vector<std::string> Versions;
    std::vector<std::string> Clocks;
    std::vector<int32_t> Progress;
    std::vector<int32_t> Gauge;
    std::vector<bool> Busy;
    // Everything above in the order it happened: "box:<text>", "status:<text>", "version:<text>",
    // "clock:<text>", "progress:<n>", "gauge:<n>", "busy:on"/"busy:off"; a derived view adds its own.
    std::vector<std::string> Events;

    // Answered as a person answers the box shown: only a box with Yes and No takes an answer.
    TAnswer ShowMessage(const TMessage& m) override
    {
        Ids.push_back(m.Id);
        Events.push_back("box:" + m.Text);
        return AnswerFromScript(Messages, Answers, m.Caption, m.Text, m.Box);
    }
    void SetStatus(const std::string& text) override { Record(Statuses, text, "status:"); }
    void ShowProgress(int32_t percent) override { Record(Progress, percent, "progress:"); }
    void SetVersion(const std::string& text) override { Record(Versions, text, "version:"); }
    void SetClock(const std::string& text) override { Record(Clocks, text, "clock:"); }
    void SetBusy(bool busy) override
    {
        Busy.push_back(busy);
        Events.push_back(busy ? "busy:on" : "busy:off");
    }
    void MoveGauge(int32_t percent) override { Record(Gauge, percent, "gauge:"); }

    // Drops what has been recorded so far; the script of answers stays.
    void Forget()
    {
        Messages.clear();
        Ids.clear();
        Statuses.clear();
        Versions.clear();
        Clocks.clear();
        Progress.clear();
        Gauge.clear();
        Busy.clear();
        Events.clear();
    }

private:
    void Record(std::vector<std::string>& list, const std::string& text, const char* event)
    {
        list.push_back(text);
        Events.push_back(event + text);
    }
    void Record(std::vector<int32_t>& list, int32_t value, const char* event)
    {
        list.push_back(value);
        Events.push_back(event + std::to_string(value));
    }
};

using ScriptedDialogue = TScriptedUser<TUserDialogue>;
