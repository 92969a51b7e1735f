// flasher-cli: the tool's workflows from a terminal, for scripted work and production lines.
#include "cli/BoardCommands.h"
#include "cli/ExitStatus.h"
#include "cli/Interrupt.h"
#include "cli/LoaderCommands.h"
#include "cli/PortsCommand.h"
#include "cli/StationCommand.h"

#include "serial/Clock.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

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

// The program's texts are UTF-8; a Windows console shows them as such only when told. Arguments
// come in UTF-8 through the application manifest's code page.
void UseUtf8Console()
{
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
#endif
}
}   // namespace

int main(int argc, char** argv)
{
    UseUtf8Console();
    CatchInterrupts();
    ApplyClockScaleFromEnvironment();
    CLI::App app{"Service tool for LED display boards: firmware, RAM test, start, loader blocks and clock."};
    app.require_subcommand(1);
    GlobalOptions global;
    SetupGlobalOptions(app, global);
    SetupPorts(app, global);
    SetupProgram(app, global);
    SetupRamTest(app, global);
    SetupStart(app, global);
    SetupConfig(app, global);
    SetupLoader(app, global);
    SetupStation(app, global);
    // CLI11 would answer a word it does not know with "A subcommand is required", or show the help
    // for `flash --help`: say which word it was instead.
    TUnknownCommand unknown = FindUnknownCommand(app, std::vector<std::string>(argv + 1, argv + argc));
    if (!unknown.Word.empty()) {
        std::fputs(UnknownCommandText(unknown).c_str(), stderr);
        return ExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::RuntimeError& e) {
        return e.get_exit_code();   // a workflow's outcome, through Finish
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return ExitUsage;
    }
    return 0;
}
