#include "cli/LoaderRun.h"

#include "cli/RunLog.h"
#include "loader/LoaderLink.h"

#include <chrono>

TerminalLoaderView::TerminalLoaderView(const GlobalOptions& global, const std::string& portName)
{
    if (global.Json) {
        events_ = std::make_unique<TBoardOutput>(TOutputMode::Json, std::vector<std::string>{portName});
        user_ = std::make_unique<TBoardEventDialogue>(*events_, 0, global.Yes);
    } else {
        user_ = std::make_unique<TerminalDialogue>(global.Yes);
    }
    stoppable_ = std::make_unique<TStoppableDialogue>(*user_);
}

void TerminalLoaderView::SetClock(const std::string& text)
{
    if (text != NoClockText) stoppable_->SetClock(text);
}

void TerminalLoaderView::Finish(TBoardResult& result, const std::string& stoppedNote)
{
    stoppable_->Finish(result, stoppedNote);
    if (events_) events_->Result(0, result);
}

namespace {
TOutcome RunSession(TLoaderLink& link, TerminalLoaderView& view, TBlockImage& image, const LoaderOperation& operation)
{
    link.OpenLoaderPort(view);
    if (link.LastFailure()) {
        link.CloseLoaderPort();
        return TOutcome::PortFailed;
    }
    TLoaderSession session(link, view, image);
    session.Shown = true;
    TOutcome outcome = session.RefreshAll();
    if (outcome == TOutcome::Done) outcome = operation(link, view, session);
    link.CloseLoaderPort();
    return outcome;
}
}   // namespace

TOutcome OnLoaderSession(const LoaderOptions& o, const ImageMaker& makeImage, const std::string& stoppedNote,
                         const LoaderOperation& operation)
{
    auto link = std::make_unique<TLoaderLink>(o.Port, TraceSink(o.Global.Trace.get(), o.Port));
    link->SetStopRequest(&InterruptFlag());
    auto image = std::make_unique<TBlockImage>();
    if (TOutcome made = makeImage(*link, *image); made != TOutcome::Done) return made;
    auto start = std::chrono::steady_clock::now();
    TBoardResult result;
    {
        TerminalLoaderView view(o.Global, o.Port);
        result.Outcome = RunSession(*link, view, *image, operation);
        result.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        view.Finish(result, stoppedNote);
    }
    if (o.Global.Log) AppendToLog(*o.Global.Log, {o.Command, {}, {}}, o.Port, result);
    return result.Outcome;
}
