// What several boards at once (or --json) print: one writer shared by every board's thread and
// locked, so lines never mix. On a terminal one live line per board and a table at the end; in a
// pipe one line per event starting with its port; with --json one JSON object per event.
#pragma once

#include "cli/CliDialogue.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

enum class TOutputMode { Live, Lines, Json };

struct TBoardResult {
    TOutcome Outcome = TOutcome::Done;
    std::string Text;   // the outcome in the system's words
    double Seconds = 0;
};

class TBoardOutput {
public:
    TBoardOutput(TOutputMode mode, std::vector<std::string> ports, std::FILE* out = stdout);

    void Phase(size_t board, const std::string& text);
    void Progress(size_t board, const TProgress& progress);
    void Message(size_t board, const TMessage& message, const std::string& addition);
    void Result(size_t board, const TBoardResult& result);
    // After every board ended: the table of results (text modes only).
    void Table(const std::vector<TBoardResult>& results);

private:
    struct TLine {
        std::string Phase;
        int32_t Percent = -1;
    };
    void Emit(size_t board, const std::string& text, std::FILE* to = nullptr);   // locked; to the output by default
    void Redraw();                                                               // live mode, locked by the caller

    TOutputMode mode_;
    std::vector<std::string> ports_;
    std::FILE* out_;
    std::mutex lock_;
    std::vector<TLine> lines_;
    bool drawn_ = false;
};

// The workflows' user for one board of a run that asks nothing: messages go to the output,
// questions are answered by --yes (or No), the "switch the board on" notice does not wait.
class TBoardEventDialogue : public TCliDialogue {
public:
    TBoardEventDialogue(TBoardOutput& output, size_t board, bool assumeYes)
        : output_(output), board_(board), assumeYes_(assumeYes)
    {
    }

    TAnswer ShowMessage(const TMessage& message) override;
    void SetStatus(const std::string& text) override { output_.Phase(board_, text); }
    void ShowProgress(int32_t percent) override { ShowTransfer({percent, 0, 0}); }
    void ShowTransfer(const TProgress& progress) override;
    void SetVersion(const std::string& text) override { output_.Phase(board_, text); }
    void SetClock(const std::string& text) override { output_.Phase(board_, text); }

    // The result event says it.
    void Confirm(const std::string& text) override { lastText_ = text; }
    void Conclude(TOutcome, const std::string&) override {}

private:
    TBoardOutput& output_;
    size_t board_;
    bool assumeYes_;
    int32_t lastPercent_ = -1;
};
