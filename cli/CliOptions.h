// What every flasher-cli subcommand shares: the options given before it, its --port, and how its
// callback ends the program with the workflow's outcome.
#pragma once

#include "cli/RunLog.h"
#include "cli/TraceFile.h"
#include "util/Dialogue.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

struct GlobalOptions {
    bool Yes = false;
    std::shared_ptr<TTraceFile> Trace;   // --trace FILE; null when the run is not traced
    bool Json = false;                   // --json: JSON Lines on stdout instead of text
    std::shared_ptr<TRunLog> Log;        // --log FILE; null without one
};

// -y/--yes, --trace, --json and --log on the program itself; subcommands take them after their
// name too. A trace or log file that cannot be written is a usage error.
void SetupGlobalOptions(CLI::App& app, GlobalOptions& global);

// `--port DEV`, required.
CLI::Option* AddPortOption(CLI::App& command, std::string& port);
// `--port DEV`, required, repeatable: one board per port.
CLI::Option* AddPortsOption(CLI::App& command, std::vector<std::string>& ports);

// The first word on the command line that names no command where one is expected ("flash" in
// `flasher-cli flash --help`, "copy" in `flasher-cli loader copy`), with the commands that were
// expected there; an empty word when every command is known. Option values are not words.
struct TUnknownCommand {
    std::string Word;
    const CLI::App* Expected = nullptr;
};
TUnknownCommand FindUnknownCommand(const CLI::App& app, const std::vector<std::string>& args);

// "Неизвестная команда: flash" and the commands that can stand there, for stderr.
std::string UnknownCommandText(const TUnknownCommand& unknown);

// The end of a subcommand's callback: anything but Done leaves flasher-cli with its exit status
// (CLI::RuntimeError, which CLI11 turns into that status without printing).
void Finish(TOutcome outcome);

// The subcommand's callback: its options get the global ones parsed before it, then `run` does the
// work and Finish ends the program with its outcome.
template <typename Options>
void CallRun(CLI::App& command, std::shared_ptr<Options> options, const GlobalOptions& global,
             TOutcome (*run)(const Options&))
{
    command.callback([options = std::move(options), &global, run] {
        options->Global = global;
        Finish(run(*options));
    });
}
