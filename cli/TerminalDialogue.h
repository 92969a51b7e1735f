// The workflows' user on a terminal: texts on stdout, a progress bar on stderr when it is a
// terminal, questions answered by --yes, by the user on a terminal, or No without one.
#pragma once

#include "util/Dialogue.h"

#include <string>

class TerminalDialogue : public TUserDialogue {
public:
    explicit TerminalDialogue(bool assumeYes);
    ~TerminalDialogue() override;

    // A question returns IdYes or IdNo; any other message is printed and returns IdOk, whatever
    // buttons its box has.
    int32_t ShowMessage(const TMessage& message) override;
    void SetStatus(const std::string& text) override;
    void ShowProgress(int32_t percent) override;
    void MoveGauge(int32_t percent) override { ShowProgress(percent); }
    void SetVersion(const std::string& text) override;
    void SetClock(const std::string& text) override;

    // The last error or information shown (not the "switch the board on" notice), for the run log.
    const std::string& LastText() const { return lastText_; }

private:
    bool Ask(const std::string& question);
    void WaitForEnter();
    void EndProgressLine();
    void Say(const std::string& line);

    bool assumeYes_;
    bool interactive_;      // stdin and stdout are terminals: the user can answer
    bool progressBar_;      // stderr is a terminal
    bool barShown_ = false;
    int32_t lastPercent_ = -1;
    std::string lastText_;
};
