#include "cli/TerminalDialogue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace {
constexpr const char* kSwitchOn = "Включите табло и нажмите \"OK\"!";
constexpr const char* kPortError = "Ошибка коммуникационного порта!";
constexpr int kBarWidth = 40;

bool IsQuestion(uint32_t flags) { return (flags & 0xF) == 4; }
} // namespace

std::string ExplainPortError(const std::string& osText)
{
    if (osText == std::strerror(EACCES) || osText == std::strerror(EPERM))
        return osText + ". Нет доступа к порту: добавьте пользователя в группу dialout "
                        "(sudo usermod -aG dialout $USER) и войдите в систему заново.";
    if (osText == std::strerror(EBUSY) || osText == std::strerror(EWOULDBLOCK))
        return osText + ". Порт занят другой программой.";
    return osText;
}

TerminalDialogue::TerminalDialogue(bool assumeYes, std::function<std::string()> portError)
    : assumeYes_(assumeYes),
      interactive_(isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)),
      progressBar_(isatty(STDERR_FILENO)),
      portError_(std::move(portError))
{
}

TerminalDialogue::~TerminalDialogue() { EndProgressLine(); }

void TerminalDialogue::Say(const std::string& line)
{
    EndProgressLine();
    std::cout << line << std::endl;
}

int32_t TerminalDialogue::ShowMessage(const std::string& caption, const std::string& text, uint32_t flags)
{
    if (IsQuestion(flags)) return Ask(caption + " " + text) ? IdYes : IdNo;
    std::string line = caption + " " + text;
    if (text == kPortError && portError_) line.append(" ").append(ExplainPortError(portError_()));
    Say(line);
    if (text == kSwitchOn && !assumeYes_ && interactive_) WaitForEnter();
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
        declined_ = true;
        return false;
    }
    EndProgressLine();
    std::cout << question << " (y/N) " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    bool yes = !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y' || answer.rfind("д", 0) == 0 ||
                                   answer.rfind("Д", 0) == 0);
    declined_ = declined_ || !yes;
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
