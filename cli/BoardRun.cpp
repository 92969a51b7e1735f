#include "cli/BoardRun.h"

#include "board/BoardLink.h"
#include "cli/BoardOutput.h"
#include "cli/Interrupt.h"
#include "cli/StoppableDialogue.h"
#include "cli/TerminalDialogue.h"

#include <chrono>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace {
using SteadyClock = std::chrono::steady_clock;

// The same device named twice (also through a link) is one port: the later names find it busy.
bool NamedEarlier(const std::vector<std::string>& ports, size_t board)
{
    std::error_code error;
    auto canonical = [&](const std::string& port) {
        auto path = std::filesystem::weakly_canonical(port, error);
        return error ? std::filesystem::path(port) : path;
    };
    for (size_t earlier = 0; earlier < board; ++earlier)
        if (canonical(ports[earlier]) == canonical(ports[board])) return true;
    return false;
}

TBoardResult BusyResult(TBoardOutput& output, size_t board)
{
    TMessage busy = PortErrorMessage("Порт указан дважды. Порт занят другой программой.");
    output.Message(board, busy, {});
    TBoardResult result{TOutcome::PortFailed, busy.Text, 0};
    output.Result(board, result);
    return result;
}

// One board's run on a link of its own, with the user `makeUser` gives for the link's port. An
// interrupt stops the link's port; the result then says where the work stopped and what that leaves.
template <typename MakeUser>
TBoardResult RunBoard(const BoardOptions& o, const std::string& port, MakeUser makeUser, TBoardWork work,
                      const BoardWorkflow& workflow)
{
    auto start = SteadyClock::now();
    TBoardLink link(port, TraceSink(o.Global.Trace.get(), port));
    link.SetStopRequest(&InterruptFlag());
    TBoardResult result;
    {
        auto ui = makeUser();
        TStoppableDialogue user(*ui);
        result.Outcome = workflow(link, user);
        user.Finish(result, StoppedBoardWorkNote(work));
    }
    result.Seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    return result;
}

TOutputMode ModeOf(const BoardOptions& o)
{
    if (o.Global.Json) return TOutputMode::Json;
    return isatty(STDOUT_FILENO) ? TOutputMode::Live : TOutputMode::Lines;
}

// One board on a terminal as before: its dialogue may ask and wait.
TBoardResult RunSingleBoard(const BoardOptions& o, TBoardWork work, const BoardWorkflow& workflow)
{
    auto terminal = [&o] { return std::make_unique<TerminalDialogue>(o.Global.Yes); };
    return RunBoard(o, o.Ports.front(), terminal, work, workflow);
}

std::vector<TBoardResult> RunManyBoards(const BoardOptions& o, TBoardWork work, const BoardWorkflow& workflow)
{
    TBoardOutput output(ModeOf(o), o.Ports);
    std::vector<TBoardResult> results(o.Ports.size());
    {
        std::vector<std::jthread> threads;
        for (size_t board = 0; board < o.Ports.size(); ++board) {
            if (NamedEarlier(o.Ports, board)) {
                results[board] = BusyResult(output, board);
                continue;
            }
            threads.emplace_back([&, board] {
                auto events = [&] { return std::make_unique<TBoardEventDialogue>(output, board, o.Global.Yes); };
                results[board] = RunBoard(o, o.Ports[board], events, work, workflow);
                output.Result(board, results[board]);
            });
        }
    }
    if (o.Ports.size() > 1) output.Table(results);
    return results;
}
}   // namespace

TOutcome RunOnBoards(const BoardOptions& o, const TRunFacts& facts, TBoardWork work, const BoardWorkflow& workflow)
{
    std::vector<TBoardResult> results = o.Ports.size() == 1 && !o.Global.Json
                                            ? std::vector<TBoardResult>{RunSingleBoard(o, work, workflow)}
                                            : RunManyBoards(o, work, workflow);
    for (size_t board = 0; board < results.size(); ++board)
        if (o.Global.Log) AppendToLog(*o.Global.Log, facts, o.Ports[board], results[board]);
    for (const TBoardResult& result : results)
        if (result.Outcome != TOutcome::Done) return result.Outcome;
    return TOutcome::Done;
}
