#include "station/SlotDialogue.h"

#include <sstream>

std::vector<std::string> TextLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

TAnswer TSlotDialogue::ShowMessage(const TMessage& message)
{
    if (message.Id != TMessageId::SwitchBoardOn) lastText_ = message.Text;
    // A lost link is followed by "Нет соединения" on the status line: the record keeps the step
    // and percentage the board was at when the link went.
    if (message.Id == TMessageId::ConnectionLost || message.Id == TMessageId::LoaderLinkError ||
        message.Id == TMessageId::PortGone)
        linkLost_ = true;
    if (message.Kind() == TMessageKind::Information) lastInformation_ = message.Text;
    change_(TSlotEvent::Message, [&](TSlotView& view) { view.Lines = TextLines(message.Text); });
    // The job answers questions itself; what a box without a question returns.
    return TAnswer::Ok;
}

void TSlotDialogue::SetStatus(const std::string& text)
{
    if (!linkLost_) {
        step_ = text;
        percent_ = -1;
    }
    stepStart_ = std::chrono::steady_clock::now();
    change_(TSlotEvent::Step, [&](TSlotView& view) {
        view.Step = text;
        view.Percent = -1;
        view.Rate = 0;
        view.SecondsLeft = -1;
    });
}

void TSlotDialogue::ShowTransfer(const TProgress& progress)
{
    int32_t percent = WholePercent(progress);
    if (percent == percent_ || linkLost_) return;
    percent_ = percent;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - stepStart_).count();
    double rate = progress.Total > 0 && seconds > 0 ? static_cast<double>(progress.Done) / seconds : 0;
    double left = rate > 0 ? static_cast<double>(progress.Total - progress.Done) / rate : -1;
    change_(TSlotEvent::Progress, [&](TSlotView& view) {
        view.Percent = percent;
        view.Rate = rate;
        view.SecondsLeft = left;
    });
}
