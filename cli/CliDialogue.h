// What the command line's two users of a workflow (a terminal, one board's events) share: the
// text a run's result reports and how the run ends.
#pragma once

#include "util/Dialogue.h"

#include <string>

class TCliDialogue : public TUserDialogue {
public:
    // A line of our own saying what the command did; the result reports it.
    virtual void Confirm(const std::string& text) = 0;
    // The run's end, with the result's outcome and text.
    virtual void Conclude(TOutcome outcome, const std::string& text) = 0;

    // The last error, information or confirmation shown (not the "switch the board on" notice).
    const std::string& LastText() const { return lastText_; }

protected:
    // Keeps a shown message's text as the one the result reports. Notes beside the work (switch
    // the board on, a slow adapter) are not results; a port gone adds its line to the lost link's.
    void Remember(const TMessage& message)
    {
        if (message.Id == TMessageId::SwitchBoardOn || message.Id == TMessageId::SlowAdapter) return;
        if (message.Id == TMessageId::PortGone && !lastText_.empty()) lastText_ += "\n" + message.Text;
        else lastText_ = message.Text;
    }

    std::string lastText_;
};
