// flasher-cli: the tool's workflows from a terminal, for scripted work and production lines.
#include "cli/CliCommon.h"

#include "serial/Clock.h"

#include <cstdlib>

namespace {
// Tests run the program with its pauses sped up, as they run the simulated board:
// FLASHER_CLOCK_SCALE=SPEEDUP[,REPLY_SPEEDUP] (reply timeouts stay real unless the second is given).
void ApplyClockScaleFromEnvironment()
{
    const char* scale = std::getenv("FLASHER_CLOCK_SCALE");
    if (!scale) return;
    char* rest = nullptr;
    double speedup = std::strtod(scale, &rest);
    double reply = rest && *rest == ',' ? std::strtod(rest + 1, nullptr) : 1.0;
    Clock::SetScale(speedup, reply);
}
} // namespace

int main(int argc, char** argv)
{
    ApplyClockScaleFromEnvironment();
    CLI::App app{"Service tool for LED display boards: firmware, RAM test, start, loader blocks and clock."};
    app.require_subcommand(1);
    GlobalOptions options;
    app.add_flag("-y,--yes", options.Yes, "Answer Yes to every question and do not wait for Enter");
    app.add_option("--trace", options.Trace, "Write one line per packet (time, direction, hex) to FILE")
        ->type_name("FILE");
    int status = 0;
    SetupPortsCommand(app, status);
    SetupBoardCommands(app, options, status);
    SetupLoaderCommands(app, options, status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return ExitUsage;
    }
    return status;
}
