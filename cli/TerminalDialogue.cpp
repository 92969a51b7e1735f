#include "cli/TerminalDialogue.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace {
constexpr int kBarWidth = 40;
} // namespace

TerminalDialogue::TerminalDialogue(bool assumeYes)
    : assumeYes_(assumeYes),
      interactive_(isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)),
      progressBar_(isatty(STDERR_FILENO))
{
}

TerminalDialogue::~TerminalDialogue() { EndProgressLine(); }

void TerminalDialogue::Say(const std::string& line)
{
    EndProgressLine();
    std::cout << line << std::endl;
}

int32_t TerminalDialogue::ShowMessage(const TMessage& message)
{
    if (message.Kind() == TMessageKind::Question) return Ask(message.Caption + " " + message.Text) ? IdYes : IdNo;
    if (message.Id != TMessageId::SwitchBoardOn) lastText_ = message.Text;
    Say(message.Caption + " " + message.Text);
    if (message.Id == TMessageId::SwitchBoardOn && !assumeYes_ && interactive_) WaitForEnter();
    return IdOk;
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
    EndProgressLine();
    std::cout << question << " (y/N) " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    bool yes = !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y' || answer.rfind("д", 0) == 0 ||
                                   answer.rfind("Д", 0) == 0);
    return yes;
}

void TerminalDialogue::WaitForEnter()
{
    std::cout << "(Enter) " << std::flush;
    std::string line;
    std::getline(std::cin, line);
}

void TerminalDialogue::SetStatus(const std::string& text) { Say(text); }
void TerminalDialogue::SetVersion(const std::string& text) { Say(text); }
void TerminalDialogue::SetClock(const std::string& text) { Say(text); }

void TerminalDialogue::ShowProgress(int32_t percent)
{
    if (!progressBar_ || percent == lastPercent_) return;
    lastPercent_ = percent;
    int filled = kBarWidth * std::clamp(percent, 0, 100) / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, '.').c_str(), percent);
    std::fflush(stderr);
    barShown_ = true;
}

void TerminalDialogue::EndProgressLine()
{
    if (!barShown_) return;
    std::fputc('\n', stderr);
    barShown_ = false;
    lastPercent_ = -1;
}
