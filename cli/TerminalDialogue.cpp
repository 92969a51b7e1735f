#include "cli/TerminalDialogue.h"

#include <cstdio>
#include <iostream>
#include <unistd.h>

std::string CaptionedText(const TMessage& message)
{
    std::string caption = message.Caption;
    while (!caption.empty() && caption.back() == '!') caption.pop_back();
    if (caption.empty() || message.Text.rfind(caption, 0) == 0) return message.Text;
    return caption + ": " + message.Text;
}

void PrintRefusal(const std::string& reason) { std::fprintf(stderr, "flasher-cli: %s\n", reason.c_str()); }

TerminalDialogue::TerminalDialogue(bool assumeYes)
    : assumeYes_(assumeYes), interactive_(isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)),
      progress_(stderr, isatty(STDERR_FILENO))
{
}

void TerminalDialogue::Say(const std::string& line)
{
    progress_.End();
    std::cout << line << std::endl;
}

void TerminalDialogue::Complain(const std::string& line)
{
    progress_.End();
    std::cout.flush();
    std::cerr << line << std::endl;
}

void TerminalDialogue::Confirm(const std::string& text)
{
    lastText_ = text;
    Say(text);
}

void TerminalDialogue::Conclude(TOutcome outcome, const std::string& text)
{
    if (outcome == TOutcome::Stopped || (outcome != TOutcome::Done && lastText_.empty())) Complain(text);
}

TAnswer TerminalDialogue::ShowMessage(const TMessage& message)
{
    switch (message.Kind()) {
    case TMessageKind::Question: return Ask(CaptionedText(message)) ? TAnswer::Yes : TAnswer::No;
    case TMessageKind::Error: Complain(CaptionedText(message)); break;
    case TMessageKind::Information:
        // A slow adapter is a note about the machine, not the work's result: beside the errors.
        if (message.Id == TMessageId::SlowAdapter) Complain(CaptionedText(message));
        else Say(CaptionedText(message));
        break;
    }
    Remember(message);
    if (message.Id == TMessageId::SwitchBoardOn && !assumeYes_ && interactive_) WaitForEnter();
    return TAnswer::Ok;
}

bool TerminalDialogue::Ask(const std::string& question)
{
    if (assumeYes_) {
        Say(question + " да");
        return true;
    }
    if (!interactive_) {
        Say(question + " нет");
        return false;
    }
    progress_.End();
    std::cout << question << " (y/N) " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    bool yes = !answer.empty() &&
               (answer[0] == 'y' || answer[0] == 'Y' || answer.rfind("д", 0) == 0 || answer.rfind("Д", 0) == 0);
    return yes;
}

void TerminalDialogue::WaitForEnter()
{
    std::cout << "(Enter) " << std::flush;
    std::string line;
    std::getline(std::cin, line);
}

void TerminalDialogue::SetStatus(const std::string& text)
{
    progress_.Begin(text);
    Say("Состояние: " + text);
}

void TerminalDialogue::SetVersion(const std::string& text) { Say("Версия: " + text); }
void TerminalDialogue::SetClock(const std::string& text) { Say("Часы загрузчика: " + text); }
