// The workflows' user on a terminal: texts on stdout, a progress bar on stderr when it is a
// terminal, questions answered by --yes, by the user on a terminal, or No without one.
#pragma once

#include "util/Dialogue.h"

#include <functional>
#include <string>

class TerminalDialogue : public TUserDialogue {
public:
    TerminalDialogue(bool assumeYes, std::function<std::string()> portError);
    ~TerminalDialogue() override;

    int32_t ShowMessage(const std::string& caption, const std::string& text, uint32_t flags) override;
    void SetStatus(const std::string& text) override;
    void ShowProgress(int32_t percent) override;
    void MoveGauge(int32_t percent) override { ShowProgress(percent); }
    void SetVersion(const std::string& text) override;
    void SetClock(const std::string& text) override;

    bool Declined() const { return declined_; }

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
    bool declined_ = false;
    std::function<std::string()> portError_;
};

// The OS's reason a port could not be opened, with what to do about it.
std::string ExplainPortError(const std::string& osText);
