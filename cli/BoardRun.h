// Running one board workflow on every --port: one link per port, each on its own thread, all in
// this process. One port without --json keeps the single board's terminal dialogue.
#pragma once

#include "board/BoardWorkflows.h"
#include "cli/BoardCommands.h"
#include "cli/RunLog.h"

#include <functional>

class TBoardLink;

using BoardWorkflow = std::function<TOutcome(TBoardLink&, TUserDialogue&)>;

// Runs `workflow` (which does `work`) on each board of `o`, prints the results and
// appends them to the run log. The outcome is the first failing board's, in --port order, or Done;
// Stopped when an interrupt cut the work short.
TOutcome RunOnBoards(const BoardOptions& o, const TRunFacts& facts, TBoardWork work, const BoardWorkflow& workflow);
