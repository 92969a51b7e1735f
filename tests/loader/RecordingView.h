// A loader window for tests: answers questions from a script and records, in order, everything
// the session showed (messages, status, clock, progress, list redraws and button updates).
#pragma once

#include "loader/LoaderSession.h"

#include <deque>
#include <string>
#include <vector>

struct ShownBox {
    std::string Caption, Text;
    uint32_t Flags;
    bool operator==(const ShownBox&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const ShownBox& box)
{
    return os << "{" << box.Caption << " | " << box.Text << " | 0x" << std::hex << box.Flags << std::dec << "}";
}

class TRecordingView : public TLoaderView {
public:
    const TLoaderSession* Session = nullptr;   // the list is read from it on every redraw
    std::deque<int32_t> Answers;                // for Yes/No questions; No once the script has run out

    std::vector<std::string> Events;            // "box:", "status:", "clock:", "progress:", "fill", "buttons:"
    std::vector<ShownBox> Boxes;
    std::vector<std::string> Statuses;
    std::vector<std::string> ClockTexts;
    std::vector<int32_t> Progress;
    std::vector<std::array<std::string, 3>> Rows;   // as the last redraw showed them
    bool ButtonsEnabled = false;                    // as the last update left them

    int32_t ShowMessage(const std::string& caption, const std::string& text, uint32_t flags) override
    {
        Boxes.push_back({caption, text, flags});
        Events.push_back("box:" + text);
        if ((flags & 0xF) != 4) return IdOk;
        if (Answers.empty()) return IdNo;
        int32_t answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    void SetStatus(const std::string& text) override
    {
        Statuses.push_back(text);
        Events.push_back("status:" + text);
    }
    void ShowProgress(int32_t percent) override
    {
        Progress.push_back(percent);
        Events.push_back("progress:" + std::to_string(percent));
    }
    void SetClock(const std::string& text) override
    {
        ClockTexts.push_back(text);
        Events.push_back("clock:" + text);
    }
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
    void Forget()
    {
        Events.clear();
        Boxes.clear();
        Statuses.clear();
        ClockTexts.clear();
        Progress.clear();
    }
};
