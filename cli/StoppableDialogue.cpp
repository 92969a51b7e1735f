#include "cli/StoppableDialogue.h"

#include "cli/RunLog.h"

TAnswer TStoppableDialogue::ShowMessage(const TMessage& message)
{
    if (!Interrupted()) return user_.ShowMessage(message);
    return message.Kind() == TMessageKind::Question ? TAnswer::No : TAnswer::Ok;
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

void TStoppableDialogue::Finish(TBoardResult& result, const std::string& stoppedNote)
{
    if (result.Outcome != TOutcome::Done && Interrupted()) {
        result.Outcome = TOutcome::Stopped;
        result.Text = StoppedAtText(step_, percent_) + "\n" + stoppedNote;
    } else {
        result.Text = user_.LastText().empty() ? OutcomeText(result.Outcome) : user_.LastText();
    }
    user_.Conclude(result.Outcome, result.Text);
}
