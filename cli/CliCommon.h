// What every flasher-cli command shares: the global options, the core's start-up and shut-down
// around a command, and the exit statuses.
#pragma once

#include "board/BoardWorkflows.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

class TerminalDialogue;

struct GlobalOptions {
    bool Yes = false;
    std::string Trace;
};

constexpr int ExitUsage = 64;

inline int ExitStatus(TOutcome outcome) { return static_cast<int>(outcome); }

// Starts the packet trace and the board and loader links on `port`, runs `body`, shuts down.
int RunWithLinks(const GlobalOptions& options, const std::string& port, const std::function<TOutcome()>& body);

// A question answered No turns a finished command into "declined": nothing was changed.
TOutcome Finish(const TerminalDialogue& ui, TOutcome outcome);

// `--port DEV`, required.
CLI::Option* AddPortOption(CLI::App& command, std::string& port);

void SetupPortsCommand(CLI::App& app, int& status);
void SetupBoardCommands(CLI::App& app, const GlobalOptions& options, int& status);
void SetupLoaderCommands(CLI::App& app, const GlobalOptions& options, int& status);
