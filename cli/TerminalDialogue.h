// The workflows' user on a terminal: results and states on stdout as labelled lines, errors on
// stderr, progress on stderr (ProgressLine); questions answered by --yes, by the user on a
// terminal, or No without one.
#pragma once

#include "cli/CliDialogue.h"
#include "cli/ProgressLine.h"

#include <string>

// "Сверка: Соединение потеряно!": the caption without its exclamation mark, then the text; the
// caption is left out where the text begins with it ("Ошибка соединения ...").
std::string CaptionedText(const TMessage& message);

// A refusal before any work: "flasher-cli: " and the reason, on stderr.
void PrintRefusal(const std::string& reason);

class TerminalDialogue : public TCliDialogue {
public:
    explicit TerminalDialogue(bool assumeYes);

    // A question answers Yes or No; any other message is printed and answers OK, whatever buttons
    // its box has.
    TAnswer ShowMessage(const TMessage& message) override;
    void SetStatus(const std::string& text) override;
    void ShowProgress(int32_t percent) override { ShowTransfer({percent, 0, 0}); }
    void MoveGauge(int32_t percent) override { ShowProgress(percent); }
    void ShowTransfer(const TProgress& progress) override { progress_.Show(progress); }
    void MoveTransfer(const TProgress& progress) override { ShowTransfer(progress); }
    void SetVersion(const std::string& text) override;
    void SetClock(const std::string& text) override;

    // On stdout.
    void Confirm(const std::string& text) override;
    // A failure no message has explained, or a stop, is said on stderr.
    void Conclude(TOutcome outcome, const std::string& text) override;

private:
    void Say(const std::string& line);        // stdout
    void Complain(const std::string& line);   // stderr
    bool Ask(const std::string& question);
    void WaitForEnter();

    bool assumeYes_;
    bool interactive_;   // stdin and stdout are terminals: the user can answer
    TProgressLine progress_;
};
