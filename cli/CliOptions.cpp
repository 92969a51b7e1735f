#include "cli/CliOptions.h"

#include "cli/ExitStatus.h"
#include "firmware/Firmware.h"

#include <algorithm>

namespace {
std::string VersionText()
{
    const TFirmware& firmware = EmbeddedFirmware();
    std::string text = std::string("flasher-cli ") + FLASHER_VERSION + "\nfirmware " + firmware.Version + " " +
                       firmware.Date;
    if (firmware.Placeholder) text += " placeholder";
    return text;
}

// The option `arg` ("--trace", "-p", "--log=FILE") of `app` or of a command above it (their options
// are taken after a command's name too); null when none has that name.
const CLI::Option* OptionOf(const CLI::App* app, const std::string& arg)
{
    std::string name = arg.substr(0, arg.find('='));
    for (; app; app = app->get_parent())
        if (const CLI::Option* option = app->get_option_no_throw(name)) return option;
    return nullptr;
}

bool TakesValue(const CLI::Option& option) { return option.get_expected_max() > 0; }
}   // namespace

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

TUnknownCommand FindUnknownCommand(const CLI::App& app, const std::vector<std::string>& args)
{
    const CLI::App* level = &app;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") break;
        if (arg.size() > 1 && arg[0] == '-') {
            const CLI::Option* option = OptionOf(level, arg);
            if (option && TakesValue(*option) && arg.find('=') == std::string::npos) ++i;
            continue;
        }
        // A word where a command is due: the commands' names are all this level takes.
        auto commands = level->get_subcommands([](const CLI::App*) { return true; });
        if (commands.empty()) break;
        auto command = std::find_if(commands.begin(), commands.end(),
                                    [&arg](const CLI::App* c) { return c->check_name(arg); });
        if (command == commands.end()) return {arg, level};
        level = *command;
    }
    return {};
}

std::string UnknownCommandText(const TUnknownCommand& unknown)
{
    std::string text = "Неизвестная команда: " + unknown.Word + "\nКоманды:\n";
    auto commands = unknown.Expected->get_subcommands([](const CLI::App*) { return true; });
    size_t width = 0;
    for (const CLI::App* command : commands) width = std::max(width, command->get_name().size());
    for (const CLI::App* command : commands) {
        std::string name = command->get_name();
        text += "  " + name + std::string(width - name.size() + 2, ' ') + command->get_description() + "\n";
    }
    return text;
}
