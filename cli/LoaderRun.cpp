#include "cli/LoaderRun.h"

#include "loader/LoaderLink.h"

TerminalLoaderView::TerminalLoaderView(const GlobalOptions& global, const std::string& portName, const TComPort* port)
{
    if (global.Json) {
        events_ = std::make_unique<TBoardOutput>(TOutputMode::Json, std::vector<std::string>{portName});
        user_ = std::make_unique<TBoardEventDialogue>(*events_, 0, global.Yes, port);
    } else {
        user_ = std::make_unique<TerminalDialogue>(global.Yes, port);
    }
}

TOutcome OnLoaderSession(const LoaderOptions& o, TBlockImage& image, const LoaderOperation& operation)
{
    TLoaderLink link(o.Port, TraceSink(o.Global.Trace.get(), o.Port));
    TerminalLoaderView view(o.Global, o.Port, link.LoaderPort.get());
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
