#include "cli/LoaderRun.h"

#include "cli/RunLog.h"
#include "loader/LoaderLink.h"

#include <chrono>

TerminalLoaderView::TerminalLoaderView(const GlobalOptions& global, const std::string& portName)
{
    if (global.Json) {
        events_ = std::make_unique<TBoardOutput>(TOutputMode::Json, std::vector<std::string>{portName});
        auto user = std::make_unique<TBoardEventDialogue>(*events_, 0, global.Yes);
        eventUser_ = user.get();
        user_ = std::move(user);
    } else {
        user_ = std::make_unique<TerminalDialogue>(global.Yes);
    }
}

void TerminalLoaderView::Finish(TBoardResult& result)
{
    if (result.Text.empty() && eventUser_) result.Text = eventUser_->LastText();
    if (result.Text.empty()) result.Text = OutcomeText(result.Outcome);
    if (events_) events_->Result(0, result);
}

namespace {
TOutcome RunSession(TLoaderLink& link, TerminalLoaderView& view, TBlockImage& image, const LoaderOperation& operation)
{
    link.OpenLoaderPort(view);
    if (link.LoaderPort->Error) {
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
} // namespace

TOutcome OnLoaderSession(const LoaderOptions& o, TBlockImage& image, const LoaderOperation& operation)
{
    auto start = std::chrono::steady_clock::now();
    TBoardResult result;
    {
        TLoaderLink link(o.Port, TraceSink(o.Global.Trace.get(), o.Port));
        TerminalLoaderView view(o.Global, o.Port);
        result.Outcome = RunSession(link, view, image, operation);
        result.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        view.Finish(result);
    }
    if (o.Global.Log) AppendToLog(*o.Global.Log, {o.Command, {}, {}}, o.Port, result);
    return result.Outcome;
}
