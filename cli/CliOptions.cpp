#include "cli/CliOptions.h"

#include "cli/ExitStatus.h"
#include "firmware/Firmware.h"

namespace {
std::string VersionText()
{
    const TFirmware& firmware = EmbeddedFirmware();
    std::string text = std::string("flasher-cli ") + FLASHER_VERSION + "\nfirmware " + firmware.Version + " " + firmware.Date;
    if (firmware.Placeholder) text += " placeholder";
    return text;
}
} // namespace

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
    app.add_flag("--json", global.Json, "Print JSON Lines on stdout instead of text; nothing is asked (see --yes)");
    app.add_option_function<std::string>(
           "--log",
           [&global](const std::string& path) {
               auto log = std::make_shared<TRunLog>(path);
               if (!log->Ok()) throw CLI::ValidationError("--log", "Cannot append to the log file " + path);
               global.Log = std::move(log);
           },
           "Append one JSON line per board and run to FILE")
        ->type_name("FILE");
    app.set_version_flag("--version", VersionText, "Print the program's and the built-in firmware's version");
    // The options above are also taken after a subcommand's name.
    app.fallthrough();
}

CLI::Option* AddPortOption(CLI::App& command, std::string& port)
{
    return command.add_option("-p,--port", port, "Serial device the board hangs on, e.g. /dev/ttyUSB0")
        ->required()
        ->type_name("DEV");
}

CLI::Option* AddPortsOption(CLI::App& command, std::vector<std::string>& ports)
{
    return command.add_option("-p,--port", ports, "Serial device a board hangs on; repeat it for several boards")
        ->required()
        ->type_name("DEV")
        ->take_all()
        ->allow_extra_args(false);
}

void Finish(TOutcome outcome)
{
    if (outcome != TOutcome::Done) throw CLI::RuntimeError(ExitStatus(outcome));
}
