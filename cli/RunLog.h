// flasher-cli --log FILE: one JSON line per board and run, appended. Each line is a single write
// on a file opened for appending, so boards of one run and several processes never interleave
// lines and nothing written before is touched.
#pragma once

#include "cli/BoardOutput.h"
#include "util/UtcTime.h"

#include <string>

class TRunLog {
public:
    explicit TRunLog(const std::string& path);   // Ok() tells whether it can be appended to
    ~TRunLog();
    TRunLog(const TRunLog&) = delete;
    TRunLog& operator=(const TRunLog&) = delete;

    bool Ok() const { return fd_ >= 0; }
    // Appends `line` (one JSON object ending in a line end); false when the write failed or fell short.
    bool Append(const std::string& line);

private:
    int fd_;
};

// The facts each line carries besides the board's result.
struct TRunFacts {
    std::string Command;          // "program"
    std::string FirmwareSha256;   // of the image sent; empty when none was
    std::string FontsSha256;      // of the fonts file; empty without one
};

std::string HostName();

// The outcome in the system's words, where the workflow showed none.
std::string OutcomeText(TOutcome outcome);

// One line for `port`'s run; a failed append is said on stderr.
void AppendToLog(TRunLog& log, const TRunFacts& facts, const std::string& port, const TBoardResult& result);
