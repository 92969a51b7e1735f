#include "cli/ProgressLine.h"

namespace {
constexpr int32_t PipeStep = 10;
// A rate measured over less time says nothing yet.
constexpr double ShortestMeasure = 0.2;
}   // namespace

// "1,9 КБ/с" or "850 Б/с": a decimal comma, as Russian writes it.
std::string RateText(double bytesPerSecond)
{
    char text[32];
    if (bytesPerSecond < 1000) {
        std::snprintf(text, sizeof text, "%.0f Б/с", bytesPerSecond);
    } else {
        std::snprintf(text, sizeof text, "%.1f КБ/с", bytesPerSecond / 1024);
        for (char* c = text; *c; ++c)
            if (*c == '.') *c = ',';
    }
    return text;
}

// "0:07"
std::string DurationText(double seconds)
{
    long whole = static_cast<long>(seconds + 0.5);
    char text[24];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

void TProgressLine::Begin(const std::string& phase)
{
    End();
    phase_ = phase;
    started_ = false;
    shown_ = -1;
}

std::string TProgressLine::Line(const TProgress& progress, int32_t percent) const
{
    std::string line = (phase_.empty() ? std::string("Ход работы") : phase_) + ": " + std::to_string(percent) + "%";
    if (progress.Total <= 0) return line;
    line += ", " + std::to_string(progress.Done) + " из " + std::to_string(progress.Total) + " байт";
    if (!terminal_) return line;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (seconds < ShortestMeasure || progress.Done <= 0) return line;
    double rate = static_cast<double>(progress.Done) / seconds;
    line += ", " + RateText(rate);
    if (progress.Done >= progress.Total) return line + ", за " + DurationText(seconds);
    return line + ", осталось " + DurationText(static_cast<double>(progress.Total - progress.Done) / rate);
}

void TProgressLine::Show(const TProgress& progress)
{
    if (!started_) start_ = std::chrono::steady_clock::now();
    started_ = true;
    int32_t percent = WholePercent(progress);
    if (terminal_) {
        // Every call while bytes move, so the rate and the time left stay current.
        if (percent == shown_ && progress.Total <= 0) return;
        shown_ = percent;
        std::fprintf(out_, "\r%s\x1b[K", Line(progress, percent).c_str());
        open_ = true;
    } else {
        if (percent / PipeStep <= shown_) return;
        shown_ = percent / PipeStep;
        std::fprintf(out_, "%s\n", Line(progress, percent).c_str());
    }
    std::fflush(out_);
}

void TProgressLine::End()
{
    if (!open_) return;
    std::fputc('\n', out_);
    std::fflush(out_);
    open_ = false;
}
