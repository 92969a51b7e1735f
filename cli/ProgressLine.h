// A phase's progress on stderr. On a terminal one line per phase, rewritten in place: the phase,
// the percentage, bytes done of the total, the rate and the time left. In a pipe or a file a line
// each time another tenth is done, so a log stays short.
#pragma once

#include "util/Dialogue.h"

#include <chrono>
#include <cstdio>
#include <string>

// "1,9 КБ/с" or "850 Б/с"
std::string RateText(double bytesPerSecond);
// "0:07"
std::string DurationText(double seconds);

class TProgressLine {
public:
    TProgressLine(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}
    ~TProgressLine() { End(); }

    // A new phase: its name leads each of its lines.
    void Begin(const std::string& phase);
    void Show(const TProgress& progress);
    // Ends the terminal's line, before other text is printed.
    void End();

private:
    std::string Line(const TProgress& progress, int32_t percent) const;

    std::FILE* out_;
    bool terminal_;
    std::string phase_;
    std::chrono::steady_clock::time_point start_{};
    bool started_ = false;   // a line of this phase was printed
    bool open_ = false;      // the terminal's line has no line end yet
    int32_t shown_ = -1;     // the last percentage (terminal) or tenth (pipe) printed
};
