// board-sim: the simulated display board for a demo or a person. Prints the device the program
// should open, then serves until SIGINT or SIGTERM.
#include "serial/Clock.h"
#include "sim/BoardSim.h"
#include "sim/SimFaults.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>

namespace {

constexpr int64_t ReconnectAfterTicks = 1000;   // an adapter pulled by a HangUp fault comes back

struct SimCli {
    SimOptions Sim;
    std::string Version;
    bool NoVersion = false, BoardOff = false, LoaderOff = false, TwelveHour = false;
    double ClockScale = 1.0;
    std::vector<std::string> Faults;
    std::string WireLog;
};

void SetupOptions(CLI::App& app, SimCli& cli)
{
    app.description("Simulated display board (resident programmer and loader) on a pseudo-terminal.\n"
                    "Prints the slave device's path on one line; point the program's port at that path (or at\n"
                    "--link). Runs until interrupted (Ctrl+C, SIGTERM).");
    app.add_option("--link", cli.Sim.LinkPath,
                   "Also make a symbolic link PATH to the slave device (re-pointed after a hang-up)")
        ->type_name("PATH");
    app.add_flag("--unplugged", cli.Sim.Unplugged,
                 "Start with the board out of its socket: no device and no --link until SIGUSR1 plugs it in "
                 "(the first line says \"unplugged\"). SIGUSR1 plugs the board in (a new device, --link made, "
                 "its path printed), SIGUSR2 pulls it out (the line hangs up, --link removed, \"unplugged\" printed)");
    app.add_flag("--pace", cli.Sim.Pace,
                 "Carry bytes both ways no faster than the line rate the program set (11 bits a byte)");
    app.add_option(
           "--flash", cli.Sim.FlashFile,
           "Keep the loader's flash in FILE: loaded at start (created erased if missing), every write in it at once")
        ->type_name("FILE");
    app.add_option("--version", cli.Version, "Loader version reported to 0xD0, as MAJOR.MINOR digits (default 4.0)")
        ->type_name("MAJOR.MINOR");
    app.add_flag("--no-version", cli.NoVersion, "Do not answer the version request 0xD0");
    app.add_flag("--board-off", cli.BoardOff, "Start with the board switched off: it answers nothing");
    app.add_flag("--loader-off", cli.LoaderOff, "The loader answers nothing (the programmer still does)");
    app.add_flag("--twelve-hour", cli.TwelveHour, "The clock's hours register reads in its 12-hour form (bit 6 set)");
    app.add_option("--reply-delay", cli.Sim.ReplyDelayMs,
                   "Hold every reply MS ms before it goes out, as a USB adapter's latency timer does (16 on an "
                   "FTDI adapter by default)")
        ->check(CLI::NonNegativeNumber)
        ->type_name("MS");
    app.add_option("--clock-scale", cli.ClockScale,
                   "Run the board's clock X times faster (break-in quiet, late replies, the running clock); "
                   "for tests that speed up the program too")
        ->check(CLI::PositiveNumber)
        ->type_name("X");
    app.add_option("--fault", cli.Faults,
                   "CMD:FROM:COUNT:KIND[:DELAY] (repeatable). CMD: request code in hex (C9), 0 = any; FROM: first "
                   "occurrence (1-based); COUNT: occurrences, -1 = all from FROM on; KIND: silent|bad|case|sum|late|"
                   "malformed|zero|hangup; DELAY: ms for late. A hang-up closes the device; a new one (new path "
                   "printed, --link re-pointed) follows a second later")
        ->type_name("CMD:FROM:COUNT:KIND[:DELAY]");
    app.add_option("--wire-log", cli.WireLog,
                   "Append one line per request and reply to FILE as it happens: TICK DIR KIND STATUS BAUD DATA, "
                   "DIR req|rep, KIND frame|raw, STATUS valid|invalid, DATA the payload in hex (raw: the byte count)")
        ->type_name("FILE");
}

bool ApplyOptions(const SimCli& cli, TBoardSim& sim, std::string& error)
{
    for (const std::string& spec : cli.Faults) {
        FaultRule rule;
        if (!sim::ParseFaultSpec(spec, rule)) {
            error = "bad --fault " + spec;
            return false;
        }
        sim.AddFault(rule);
    }
    if (cli.NoVersion) sim.SetVersionReply(false);
    if (cli.BoardOff) sim.SetBoardOn(false);
    if (cli.LoaderOff) sim.SetLoaderOn(false);
    if (cli.TwelveHour) sim.SetTwelveHourClock(true);
    return true;
}

std::string WireLine(const WireRecord& r)
{
    static const char* hex = "0123456789ABCDEF";
    std::string line = std::to_string(r.Tick) + (r.FromProgram ? " req " : " rep ") + (r.Raw ? "raw " : "frame ") +
                       (r.Valid ? "valid " : "invalid ") + std::to_string(r.Baud) + " ";
    if (r.Raw) return line + std::to_string(r.RawCount);
    for (uint8_t b : r.Payload) {
        line += hex[b >> 4];
        line += hex[b & 0x0F];
    }
    return line;
}

constexpr const char* UnpluggedLine = "unplugged";

// SIGUSR1 plugs the board in, SIGUSR2 pulls it out; each says what the line is now.
void PlugOrPull(TBoardSim& sim, int sig)
{
    if (sig == SIGUSR1 && !sim.Plugged()) {
        if (sim.Plug()) std::cout << sim.SlavePath() << std::endl;
        else std::cerr << "board-sim: " << sim.ErrorText() << "\n";
    } else if (sig == SIGUSR2 && sim.Plugged()) {
        sim.Pull();
        std::cout << UnpluggedLine << std::endl;
    }
}

// Waits for SIGINT/SIGTERM; plugs and pulls on SIGUSR1/SIGUSR2; brings the line back after a
// hang-up fault (not after a pull: the board is out until plugged in again).
void ServeUntilSignal(TBoardSim& sim, const sigset_t& signals)
{
    int64_t hungSince = -1;
    for (;;) {
        auto wait = Clock::RealDuration(100);
        timespec ts{static_cast<time_t>(wait.count() / 1000000000), static_cast<long>(wait.count() % 1000000000)};
        int sig = sigtimedwait(&signals, nullptr, &ts);
        if (sig == SIGINT || sig == SIGTERM) return;
        if (sig == SIGUSR1 || sig == SIGUSR2) {
            PlugOrPull(sim, sig);
            hungSince = -1;
            continue;
        }
        if (!sim.HungUp()) {
            hungSince = -1;
            continue;
        }
        int64_t now = Clock::TickCount();
        if (hungSince < 0) hungSince = now;
        if (now - hungSince >= ReconnectAfterTicks && sim.Reconnect()) {
            std::cout << sim.SlavePath() << std::endl;
            hungSince = -1;
        }
    }
}

int Run(const SimCli& cli)
{
    SimOptions options = cli.Sim;
    options.KeepWireLog = false;   // a person's run may last for hours; the file is the log
    if (!cli.Version.empty()) {
        if (cli.Version.size() != 3 || cli.Version[1] != '.') {
            std::cerr << "board-sim: --version wants MAJOR.MINOR, one digit each (4.0)\n";
            return 2;
        }
        options.VersionMajor = cli.Version[0];
        options.VersionMinor = cli.Version[2];
    }
    Clock::SetScale(cli.ClockScale);

    // Signals are taken by sigtimedwait only; the serving thread inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    sigaddset(&signals, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    TBoardSim sim(options);
    std::string error;
    if (!ApplyOptions(cli, sim, error)) {
        std::cerr << "board-sim: " << error << "\n";
        return 2;
    }
    std::unique_ptr<std::ofstream> wireLog;
    if (!cli.WireLog.empty()) {
        wireLog = std::make_unique<std::ofstream>(cli.WireLog, std::ios::app);
        if (!*wireLog) {
            std::cerr << "board-sim: cannot write " << cli.WireLog << "\n";
            return 1;
        }
        sim.SetWireListener([out = wireLog.get()](const WireRecord& r) { *out << WireLine(r) << std::endl; });
    }
    if (!sim.Start()) {
        std::cerr << "board-sim: " << sim.ErrorText() << "\n";
        return 1;
    }
    std::cout << (cli.Sim.Unplugged ? UnpluggedLine : sim.SlavePath()) << std::endl;
    ServeUntilSignal(sim, signals);
    sim.Stop();
    if (!sim.ErrorText().empty()) std::cerr << "board-sim: " << sim.ErrorText() << "\n";
    return 0;
}

}   // namespace

int main(int argc, char** argv)
{
    CLI::App app{"board-sim"};
    SimCli cli;
    SetupOptions(app, cli);
    CLI11_PARSE(app, argc, argv);
    return Run(cli);
}
