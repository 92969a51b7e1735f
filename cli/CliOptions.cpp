#include "cli/CliOptions.h"

#include "cli/ExitStatus.h"

void SetupGlobalOptions(CLI::App& app, GlobalOptions& global)
{
    app.add_flag("-y,--yes", global.Yes, "Answer Yes to every question and do not wait for Enter");
    app.add_option_function<std::string>(
           "--trace",
           [&global](const std::string& path) {
               auto file = std::make_shared<TTraceFile>(path);
               if (!file->Ok()) throw CLI::ValidationError("--trace", "Cannot write the trace file " + path);
               global.Trace = std::move(file);
           },
           "Write one line per packet (time, port, direction, hex) to FILE")
        ->type_name("FILE");
}

CLI::Option* AddPortOption(CLI::App& command, std::string& port)
{
    return command.add_option("-p,--port", port, "Serial device the board hangs on, e.g. /dev/ttyUSB0")
        ->required()
        ->type_name("DEV");
}

void Finish(TOutcome outcome)
{
    if (outcome != TOutcome::Done) throw CLI::RuntimeError(ExitStatus(outcome));
}
