#include "cli/StationOutput.h"

#include "cli/ExitStatus.h"
#include "cli/Json.h"
#include "cli/ProgressLine.h"
#include "cli/StationRecord.h"
#include "station/Station.h"

#include <algorithm>

namespace {
int DisplayWidth(const std::string& utf8)
{
    return static_cast<int>(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string Padded(const std::string& text, int width)
{
    return text + std::string(static_cast<size_t>(std::max(0, width - DisplayWidth(text))), ' ');
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : " ") + line;
    return text;
}

std::string Fixed(double value, const char* format)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    for (char* c = text; *c; ++c)
        if (*c == '.') *c = ',';
    return text;
}

// "годна 12:36:20" for the slot's last board (the end's time of day, UTC as the log has it).
std::string LastResultText(const TSlotView& view)
{
    if (!view.HasResult) return {};
    std::string end = view.Last.EndUtc.size() >= 19 ? view.Last.EndUtc.substr(11, 8) : view.Last.EndUtc;
    const char* word = view.Last.Outcome == TOutcome::Stopped ? "остановлена" : view.Last.Passed() ? "годна" : "брак";
    return std::string("последняя: ") + word + " " + end;
}
}   // namespace

TStationOutput::TStationOutput(TOutputMode mode, std::string header, std::vector<TSlotView> slots,
                               std::function<void(const TBoardRecord&)> finished, std::FILE* out)
    : mode_(mode), header_(std::move(header)), slots_(std::move(slots)), finished_(std::move(finished)), out_(out)
{
}

std::string TStationOutput::CountersText(const TStationCounters& c) const
{
    return "Годных: " + std::to_string(c.Passed) + "  Брак: " + std::to_string(c.Failed) +
           "  Выход: " + Fixed(c.YieldPercent(), "%.1f") + "%  Плат в час: " + Fixed(c.BoardsPerHour(), "%.1f");
}

std::string TStationOutput::SlotLine(const TSlotView& view, int width) const
{
    std::string line = Padded(view.Label, width) + "  " + Padded(SlotStateText(view.State), 15);
    if (view.State == TSlotState::Working) {
        line += "  " + Padded(view.Step, 18);
        line += "  " + Padded(view.Percent < 0 ? "" : std::to_string(view.Percent) + "%", 4);
        line += "  " + Padded(view.Rate > 0 ? RateText(view.Rate) : "", 10);
        line += "  " + Padded(view.SecondsLeft >= 0 ? DurationText(view.SecondsLeft) : "", 5);
    } else if (view.State == TSlotState::Failed && !view.Lines.empty()) {
        line += "  " + view.Lines.front();
    }
    std::string last = LastResultText(view);
    if (!last.empty()) line += "  " + last;
    return line;
}

void TStationOutput::Redraw()
{
    int width = 0;
    for (const TSlotView& view : slots_) width = std::max(width, DisplayWidth(view.Label));
    if (drawnLines_ > 0) std::fprintf(out_, "\x1b[%zuA", drawnLines_);
    std::fprintf(out_, "\r\x1b[K%s\n\r\x1b[K%s\n", header_.c_str(), CountersText(counters_).c_str());
    for (const TSlotView& view : slots_) std::fprintf(out_, "\r\x1b[K%s\n", SlotLine(view, width).c_str());
    std::fflush(out_);
    drawnLines_ = slots_.size() + 2;
}

void TStationOutput::Begin()
{
    std::lock_guard guard(lock_);
    switch (mode_) {
    case TOutputMode::Json: {
        std::vector<TJsonLine> slots;
        for (const TSlotView& view : slots_) {
            slots.emplace_back();
            slots.back().Add("slot", view.Label).Add("socket", view.Socket);
        }
        std::fputs(TJsonLine().Add("event", "station").Add("job", header_).Add("slots", slots).Line().c_str(), out_);
        break;
    }
    case TOutputMode::Lines: std::fprintf(out_, "%s\n", header_.c_str()); break;
    case TOutputMode::Live: Redraw(); break;
    }
    std::fflush(out_);
}

void TStationOutput::SlotChanged(size_t slot, TSlotEvent event, const TSlotView& view)
{
    std::lock_guard guard(lock_);
    bool stateChanged = view.State != slots_[slot].State;
    slots_[slot] = view;
    // The end of a board is said by BoardFinished, with its result.
    bool ended = view.State == TSlotState::Passed || view.State == TSlotState::Failed;
    switch (mode_) {
    case TOutputMode::Live: Redraw(); break;
    case TOutputMode::Lines:
        if (event == TSlotEvent::State && stateChanged && !ended) {
            std::fprintf(out_, "%s: %s\n", view.Label.c_str(), SlotStateText(view.State));
            std::fflush(out_);
        }
        break;
    case TOutputMode::Json:
        if (event == TSlotEvent::State && stateChanged && !ended) {
            std::fputs(TJsonLine()
                           .Add("event", "slot")
                           .Add("slot", view.Label)
                           .Add("state", SlotStateKey(view.State))
                           .Add("socket", view.Socket)
                           .Line()
                           .c_str(),
                       out_);
            std::fflush(out_);
        }
        break;
    }
}

void TStationOutput::BoardFinished(size_t slot, const TBoardRecord& record, const TStationCounters& counters)
{
    {
        std::lock_guard guard(lock_);
        counters_ = counters;
        switch (mode_) {
        case TOutputMode::Live: Redraw(); break;
        case TOutputMode::Lines:
            std::fprintf(out_, "%s: %s, %s с: %s\n", record.Label.c_str(), SlotStateText(slots_[slot].State),
                         Fixed(record.Seconds, "%.1f").c_str(), Joined(TextLines(record.Text)).c_str());
            std::fprintf(out_, "%s\n", CountersText(counters).c_str());
            break;
        case TOutputMode::Json:
            std::fputs(TJsonLine()
                           .Add("event", "board")
                           .Add("slot", record.Label)
                           .Add("state", SlotStateKey(slots_[slot].State))
                           .Add("outcome", RecordOutcomeKey(record))
                           .Add("exit", ExitStatus(record.Outcome))
                           .Add("text", record.Text)
                           .Add("seconds", record.Seconds)
                           .Add("version", record.Version)
                           .Add("passed", counters.Passed)
                           .Add("failed", counters.Failed)
                           .Line()
                           .c_str(),
                       out_);
            break;
        }
        std::fflush(out_);
    }
    if (finished_) finished_(record);
}

void TStationOutput::Summary(const TStationCounters& c, bool interrupted)
{
    std::lock_guard guard(lock_);
    if (mode_ == TOutputMode::Json) {
        std::fputs(TJsonLine()
                       .Add("event", "summary")
                       .Add("passed", c.Passed)
                       .Add("failed", c.Failed)
                       .Add("stopped", c.Stopped)
                       .Add("yield", c.YieldPercent())
                       .Add("boards_per_hour", c.BoardsPerHour())
                       .Add("seconds", c.ShiftSeconds)
                       .Add("interrupted", interrupted)
                       .Line()
                       .c_str(),
                   out_);
    } else {
        if (mode_ == TOutputMode::Live) Redraw();
        std::fprintf(out_, "Смена окончена%s: годных %d, брак %d, остановлено %d, выход %s%%, %s плат в час, %s.\n",
                     interrupted ? " (прервана)" : "", c.Passed, c.Failed, c.Stopped,
                     Fixed(c.YieldPercent(), "%.1f").c_str(), Fixed(c.BoardsPerHour(), "%.1f").c_str(),
                     DurationText(c.ShiftSeconds).c_str());
    }
    std::fflush(out_);
}
