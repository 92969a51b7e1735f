#include "cli/StoppableDialogue.h"

int32_t TStoppableDialogue::ShowMessage(const TMessage& message)
{
    if (!Interrupted()) return user_.ShowMessage(message);
    return message.Kind() == TMessageKind::Question ? IdNo : IdOk;
}

void TStoppableDialogue::SetStatus(const std::string& text)
{
    if (Interrupted()) return;
    step_ = text;
    percent_ = 0;
    user_.SetStatus(text);
}

void TStoppableDialogue::ShowTransfer(const TProgress& progress)
{
    if (Interrupted()) return;
    percent_ = WholePercent(progress);
    user_.ShowTransfer(progress);
}

void TStoppableDialogue::MoveTransfer(const TProgress& progress)
{
    if (Interrupted()) return;
    percent_ = WholePercent(progress);
    user_.MoveTransfer(progress);
}

void TStoppableDialogue::SetVersion(const std::string& text)
{
    if (!Interrupted()) user_.SetVersion(text);
}

void TStoppableDialogue::SetClock(const std::string& text)
{
    if (!Interrupted()) user_.SetClock(text);
}
