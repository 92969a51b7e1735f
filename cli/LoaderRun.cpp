#include "cli/LoaderRun.h"

#include "loader/LoaderLink.h"

TOutcome OnLoaderSession(const LoaderOptions& o, TBlockImage& image, const LoaderOperation& operation)
{
    TLoaderLink link(o.Port, TraceSink(o.Global.Trace.get(), o.Port));
    TerminalLoaderView view(o.Global.Yes, link.LoaderPort.get());
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
