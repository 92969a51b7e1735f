// What every loader subcommand runs on: a loader link on --port and a session refreshed as the
// loader window refreshes when it opens.
#pragma once

#include "cli/BoardOutput.h"
#include "cli/LoaderCommands.h"
#include "cli/StoppableDialogue.h"
#include "cli/TerminalDialogue.h"
#include "loader/LoaderSession.h"

#include <functional>
#include <memory>

// The loader window on a terminal, or as JSON events with --json: its list and buttons need no
// drawing until the end.
class TerminalLoaderView : public TLoaderView {
public:
    TerminalLoaderView(const GlobalOptions& global, const std::string& portName);
    TAnswer ShowMessage(const TMessage& message) override { return stoppable_->ShowMessage(message); }
    void SetStatus(const std::string& text) override { stoppable_->SetStatus(text); }
    void ShowProgress(int32_t percent) override { stoppable_->ShowProgress(percent); }
    void ShowTransfer(const TProgress& progress) override { stoppable_->ShowTransfer(progress); }
    // The window's "no clock yet" mark says nothing on a terminal.
    void SetClock(const std::string& text) override;
    void FillBlockList() override {}
    void UpdateButtons() override {}

    // What the command did, in a line of our own: printed, and the result's text.
    void Confirm(const std::string& text) { user_->Confirm(text); }
    // The run's end (TStoppableDialogue::Finish); with --json the result event.
    void Finish(TBoardResult& result, const std::string& stoppedNote);

private:
    std::unique_ptr<TBoardOutput> events_;   // with --json
    std::unique_ptr<TCliDialogue> user_;
    std::unique_ptr<TStoppableDialogue> stoppable_;
};

using LoaderOperation = std::function<TOutcome(TLoaderLink&, TerminalLoaderView&, TLoaderSession&)>;
// Fills the image the session holds, for the link's port, before the port opens. Any outcome but
// Done ends the command there: nothing was sent, and the reason has been shown.
using ImageMaker = std::function<TOutcome(const TLoaderLink&, TBlockImage&)>;

// Creates the link on --port (traced, stopped by an interrupt) and makes the image; opens the port,
// refreshes, runs `operation` when the refresh read the store (otherwise the refresh's outcome is
// the run's) and closes the port; then the result goes out with --json and into
// the run log with --log. An interrupt stops the link's port; the run then ends Stopped and says
// `stoppedNote`: what that leaves in the loader.
TOutcome OnLoaderSession(const LoaderOptions& options, const ImageMaker& makeImage, const std::string& stoppedNote,
                         const LoaderOperation& operation);
