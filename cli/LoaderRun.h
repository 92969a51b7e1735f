// What every loader subcommand runs on: a loader link on --port and a session refreshed as the
// loader window refreshes when it opens.
#pragma once

#include "cli/BoardOutput.h"
#include "cli/LoaderCommands.h"
#include "cli/TerminalDialogue.h"
#include "loader/LoaderSession.h"

#include <functional>

// The loader window on a terminal, or as JSON events with --json: its list and buttons need no
// drawing until the end.
class TerminalLoaderView : public TLoaderView {
public:
    TerminalLoaderView(const GlobalOptions& global, const std::string& portName);
    int32_t ShowMessage(const TMessage& message) override { return user_->ShowMessage(message); }
    void SetStatus(const std::string& text) override { user_->SetStatus(text); }
    void ShowProgress(int32_t percent) override { user_->ShowProgress(percent); }
    void SetClock(const std::string& text) override { user_->SetClock(text); }
    void FillBlockList() override {}
    void UpdateButtons() override {}

    // The run's end: with --json its result event. `result.Text` empty: the last message shown,
    // else the outcome's own words.
    void Finish(TBoardResult& result);

private:
    std::unique_ptr<TBoardOutput> events_;   // with --json
    TBoardEventDialogue* eventUser_ = nullptr;
    std::unique_ptr<TUserDialogue> user_;
};

using LoaderOperation = std::function<TOutcome(TLoaderLink&, TerminalLoaderView&, TLoaderSession&)>;

// Creates the link, opens its port, refreshes, runs `operation` when the refresh read the store
// (otherwise the refresh's outcome is the run's), closes the port and destroys the link; then the
// result goes out with --json and into the run log with --log.
TOutcome OnLoaderSession(const LoaderOptions& options, TBlockImage& image, const LoaderOperation& operation);
