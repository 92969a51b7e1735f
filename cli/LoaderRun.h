// What every loader subcommand runs on: a loader link on --port and a session refreshed as the
// loader window refreshes when it opens.
#pragma once

#include "cli/LoaderCommands.h"
#include "cli/TerminalDialogue.h"
#include "loader/LoaderSession.h"

#include <functional>

// The loader window on a terminal: its list and buttons need no drawing until the end.
class TerminalLoaderView : public TLoaderView {
public:
    TerminalLoaderView(bool assumeYes, const TComPort* port) : terminal_(assumeYes, port) {}
    int32_t ShowMessage(const TMessage& message) override { return terminal_.ShowMessage(message); }
    void SetStatus(const std::string& text) override { terminal_.SetStatus(text); }
    void ShowProgress(int32_t percent) override { terminal_.ShowProgress(percent); }
    void SetClock(const std::string& text) override { terminal_.SetClock(text); }
    void FillBlockList() override {}
    void UpdateButtons() override {}

private:
    TerminalDialogue terminal_;
};

using LoaderOperation = std::function<TOutcome(TLoaderLink&, TerminalLoaderView&, TLoaderSession&)>;

// Creates the link, opens its port, refreshes, runs `operation` when the refresh read the store
// (otherwise the refresh's outcome is the run's), closes the port and destroys the link.
TOutcome OnLoaderSession(const LoaderOptions& options, TBlockImage& image, const LoaderOperation& operation);
