#include "cli/BoardOutput.h"

#include "cli/ExitStatus.h"
#include "cli/Json.h"
#include "cli/TerminalDialogue.h"

#include <algorithm>

namespace {
// Columns line up on a terminal by characters, not bytes.
int DisplayWidth(const std::string& utf8)
{
    return static_cast<int>(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string Padded(const std::string& text, int width)
{
    return text + std::string(static_cast<size_t>(std::max(0, width - DisplayWidth(text))), ' ');
}

// A message's lines after the first are our own (the port and the reason, what to do): one line
// per event and per table row needs them side by side.
std::string OneLine(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// The table keeps a row per board: the system's own text only.
std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// Pipes get a progress line every tenth, not every percent.
constexpr int32_t LineProgressStep = 10;
}   // namespace

TBoardOutput::TBoardOutput(TOutputMode mode, std::vector<std::string> ports, std::FILE* out)
    : mode_(mode), ports_(std::move(ports)), out_(out), lines_(ports_.size())
{
}

void TBoardOutput::Emit(size_t board, const std::string& text, std::FILE* to)
{
    if (!to) to = out_;
    std::fprintf(to, "%s: %s\n", ports_[board].c_str(), OneLine(text).c_str());
    std::fflush(to);
}

void TBoardOutput::Redraw()
{
    int width = 0;
    for (const std::string& port : ports_) width = std::max(width, DisplayWidth(port));
    if (drawn_) std::fprintf(out_, "\x1b[%zuA", ports_.size());
    for (size_t i = 0; i < ports_.size(); ++i) {
        std::string percent = lines_[i].Percent < 0 ? "" : std::to_string(lines_[i].Percent) + "%";
        std::fprintf(out_, "\r\x1b[K%s  %s  %s\n", Padded(ports_[i], width).c_str(),
                     Padded(lines_[i].Phase, 24).c_str(), percent.c_str());
    }
    std::fflush(out_);
    drawn_ = true;
}

void TBoardOutput::Phase(size_t board, const std::string& text)
{
    std::lock_guard guard(lock_);
    switch (mode_) {
    case TOutputMode::Json:
        std::fputs(TJsonLine().Add("event", "phase").Add("port", ports_[board]).Add("text", text).Line().c_str(), out_);
        std::fflush(out_);
        break;
    case TOutputMode::Lines: Emit(board, text); break;
    case TOutputMode::Live:
        lines_[board].Phase = text;
        lines_[board].Percent = -1;
        Redraw();
        break;
    }
}

void TBoardOutput::Progress(size_t board, const TProgress& progress)
{
    int32_t percent = WholePercent(progress);
    std::lock_guard guard(lock_);
    switch (mode_) {
    case TOutputMode::Json: {
        TJsonLine line;
        line.Add("event", "progress").Add("port", ports_[board]).Add("percent", percent);
        if (progress.Total > 0) line.Add("done", progress.Done).Add("total", progress.Total);
        std::fputs(line.Line().c_str(), out_);
        std::fflush(out_);
        break;
    }
    case TOutputMode::Lines:
        if (percent % LineProgressStep == 0) Emit(board, std::to_string(percent) + "%");
        break;
    case TOutputMode::Live:
        lines_[board].Percent = percent;
        Redraw();
        break;
    }
}

void TBoardOutput::Message(size_t board, const TMessage& message, const std::string& addition)
{
    // The system's text is the first line; lines after it and `addition` are ours.
    size_t end = message.Text.find('\n');
    std::string own = message.Text.substr(0, end);
    std::string detail = end == std::string::npos ? addition : OneLine(message.Text.substr(end + 1));
    if (end != std::string::npos && !addition.empty()) detail += " " + addition;
    std::string text = OneLine(detail.empty() ? own : own + " " + detail);
    std::lock_guard guard(lock_);
    switch (mode_) {
    case TOutputMode::Json: {
        // The system's text stays as it is; our addition (the answer, the port's reason) beside it.
        TJsonLine line;
        line.Add("event", "message").Add("port", ports_[board]).Add("id", static_cast<int32_t>(message.Id));
        line.Add("caption", message.Caption).Add("text", own);
        if (!detail.empty()) line.Add("detail", detail);
        std::fputs(line.Line().c_str(), out_);
        std::fflush(out_);
        break;
    }
    case TOutputMode::Lines:
        // Errors on stderr, as a single board's are.
        Emit(board, CaptionedText({message.Id, message.Caption, text, message.Box}),
             message.Kind() == TMessageKind::Error || message.Id == TMessageId::SlowAdapter ? stderr : out_);
        break;
    case TOutputMode::Live:
        lines_[board].Phase = text;
        Redraw();
        break;
    }
}

void TBoardOutput::Result(size_t board, const TBoardResult& result)
{
    std::lock_guard guard(lock_);
    if (mode_ == TOutputMode::Json) {
        std::fputs(TJsonLine()
                       .Add("event", "result")
                       .Add("port", ports_[board])
                       .Add("exit", ExitStatus(result.Outcome))
                       .Add("text", result.Text)
                       .Add("seconds", result.Seconds)
                       .Line()
                       .c_str(),
                   out_);
        std::fflush(out_);
    } else if (mode_ == TOutputMode::Lines) {
        Emit(board, "код " + std::to_string(ExitStatus(result.Outcome)) + ", " + result.Text);
    }
}

void TBoardOutput::Table(const std::vector<TBoardResult>& results)
{
    if (mode_ == TOutputMode::Json) return;
    std::lock_guard guard(lock_);
    int width = DisplayWidth("Порт");
    int textWidth = DisplayWidth("Результат");
    for (size_t i = 0; i < ports_.size(); ++i) {
        width = std::max(width, DisplayWidth(ports_[i]));
        textWidth = std::max(textWidth, DisplayWidth(FirstLine(results[i].Text)));
    }
    std::fprintf(out_, "%s  %s  Код  Секунды\n", Padded("Порт", width).c_str(), Padded("Результат", textWidth).c_str());
    for (size_t i = 0; i < ports_.size(); ++i)
        std::fprintf(out_, "%s  %s  %3d  %7.1f\n", Padded(ports_[i], width).c_str(),
                     Padded(FirstLine(results[i].Text), textWidth).c_str(), ExitStatus(results[i].Outcome),
                     results[i].Seconds);
    std::fflush(out_);
}

TAnswer TBoardEventDialogue::ShowMessage(const TMessage& message)
{
    if (message.Kind() == TMessageKind::Question) {
        output_.Message(board_, message, assumeYes_ ? "да" : "нет");
        return assumeYes_ ? TAnswer::Yes : TAnswer::No;
    }
    output_.Message(board_, message, {});
    Remember(message);
    return TAnswer::Ok;
}

void TBoardEventDialogue::ShowTransfer(const TProgress& progress)
{
    int32_t percent = WholePercent(progress);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    output_.Progress(board_, progress);
}
