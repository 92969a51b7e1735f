// Runs flasher-cli against board-sim --pace, as a technician would on a real line, and compares
// its wall time with the line's floor: every byte on the wire in both directions at its baud rate
// (8 data bits, 2 stop bits and the start bit: 11 bits a byte) plus the protocol's own pauses.
// The load average is printed with the figures: other work on the machine shows in the ratio.
// The loader write is also replayed by a bare client (BareReplay.h): what the pseudo-terminal and
// the simulator alone take over the floor, and so what is the program's own.
//
// `program` (firmware alone) also runs against a board whose every reply is held 0, 1 and 16 ms
// (board-sim --reply-delay), as a USB adapter's latency timer holds it: what a slow adapter costs.
//
// With --wine, the loader write also runs through the Windows build under wine, on the same
// simulator reached through a wine COM name, and both times are printed with their ratio.
//
// Usage: cli_bench [BIN_DIR] [--wine FLASHER_CLI_EXE]   (BIN_DIR: default the folder this program
//        lies in; --wine needs WINEPREFIX, whose dosdevices folder gets the COM name)
#include "BareReplay.h"
#include "BenchProcess.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
// Seconds the logged bytes take on the line: frames (both directions) and unframed bursts apart.
struct LineTime {
    double FrameSeconds = 0, BurstSeconds = 0;
    size_t Bytes = 0;
    size_t Requests = 0;   // frames from the program: the exchanges the time over the floor is spread on
};

LineTime LineSeconds(const std::vector<WireRecord>& log)
{
    LineTime t;
    for (const WireRecord& l : log) {
        const double baud = l.Baud > 0 ? l.Baud : 19200;
        const size_t bytes = l.Raw ? l.RawCount : l.Payload.size() + 3;   // a frame's length and sums too
        t.Bytes += bytes;
        if (!l.Raw && l.FromProgram) ++t.Requests;
        (l.Raw ? t.BurstSeconds : t.FrameSeconds) += static_cast<double>(bytes) * 11.0 / baud;
    }
    return t;
}

size_t RecordCount(const std::string& wireLog) { return ReadWireLog(wireLog).size(); }

// The largest font file the board takes: 44 fonts are more than the table holds, so 31 fonts and
// data up to 22784 bytes.
std::string WriteLargestFonts(const fs::path& dir)
{
    const int fonts = 31;
    const int size = 22784;
    std::vector<unsigned char> bytes(32, 0);
    bytes[0] = 0x07;
    bytes[1] = 0xFF;
    bytes[2] = fonts;
    bytes[3] = 32;
    for (int k = 0; k < fonts * 256; ++k) {
        int offset = 512 * fonts;
        bytes.push_back(static_cast<unsigned char>(offset & 0xFF));
        bytes.push_back(static_cast<unsigned char>(offset >> 8));
    }
    while (bytes.size() < 32u + size) bytes.push_back(static_cast<unsigned char>(bytes.size() * 13));
    std::string path = (dir / "largest.gly").string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
}

void PrintLoad()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    std::printf("load average %s %s %s\n", one.c_str(), five.c_str(), fifteen.c_str());
}

void Report(const char* name, const Usage& u, double floorSeconds, const LineTime& line)
{
    std::printf("%-28s exit %d  wall %7.2f s  floor %7.2f s (%zu bytes on the wire + pauses)  ratio %.4f  "
                "cpu %.3f s (%.2f %% of wall)  peak %.1f MB  over the floor %.3f ms per exchange (%zu)\n",
                name, u.Status, u.WallSeconds, floorSeconds, line.Bytes, u.WallSeconds / floorSeconds, u.CpuSeconds,
                100.0 * u.CpuSeconds / u.WallSeconds, u.PeakMb,
                1000.0 * (u.WallSeconds - floorSeconds) / static_cast<double>(std::max<size_t>(line.Requests, 1)),
                line.Requests);
}
// The Windows build's loader write on the simulator's terminal `device`, linked as COM22 in the
// wine prefix. A wine server kept running meanwhile spares each start its own.
Usage RunUnderWine(const std::string& exe, const std::string& device, const std::vector<std::string>& args,
                   const std::string& out)
{
    const char* prefix = std::getenv("WINEPREFIX");
    if (!prefix) {
        std::printf("--wine needs WINEPREFIX\n");
        return {};
    }
    fs::path com = fs::path(prefix) / "dosdevices" / "com22";
    std::error_code ec;
    fs::remove(com, ec);
    fs::create_symlink(device, com);
    std::vector<std::string> argv = {"/usr/bin/wine", exe};
    for (const std::string& a : args) argv.push_back(a == "PORT" ? "COM22" : a);
    return Run(argv, out);
}

void ReportBare(double seconds, double floorSeconds, const Usage& program, const LineTime& line)
{
    if (seconds < 0) {
        std::printf("bare replay of its requests  failed\n");
        return;
    }
    const double exchanges = static_cast<double>(std::max<size_t>(line.Requests, 1));
    std::printf("bare replay of its requests  wall %7.2f s  ratio %.4f  over the floor %.3f ms per exchange; "
                "flasher-cli takes %.3f ms per exchange more\n",
                seconds, seconds / floorSeconds, 1000.0 * (seconds - floorSeconds) / exchanges,
                1000.0 * (program.WallSeconds - seconds) / exchanges);
}
// `program` without fonts on a simulator of its own that holds every reply `delayMs`.
Usage ProgramAtReplyDelay(const fs::path& bin, const fs::path& dir, int delayMs)
{
    const fs::path run = dir / ("delay-" + std::to_string(delayMs));
    fs::create_directories(run);
    const std::string wire = (run / "wire.log").string(), link = (run / "board").string();
    pid_t sim = Spawn({(bin / "board-sim").string(), "--pace", "--reply-delay", std::to_string(delayMs), "--link", link,
                       "--wire-log", wire},
                      (run / "sim.out").string());
    for (int i = 0; i < 100 && !fs::exists(link); ++i) usleep(50000);
    Usage program = Run({(bin / "flasher-cli").string(), "--yes", "program", "--port", link},
                        (run / "program.out").string());
    LineTime line = LineSeconds(ReadWireLog(wire));
    double floorSeconds = line.FrameSeconds + 3.5 + std::max(line.BurstSeconds, 2.0 + 2.0);
    char name[64];
    std::snprintf(name, sizeof name, "program, reply delay %2d ms", delayMs);
    Report(name, program, floorSeconds, line);
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    return program;
}
}   // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string wineExe;
    if (auto w = std::find(args.begin(), args.end(), "--wine"); w != args.end() && w + 1 != args.end()) {
        wineExe = *(w + 1);
        args.erase(w, w + 2);
    }
    fs::path bin = !args.empty() ? fs::path(args[0]) : fs::canonical("/proc/self/exe").parent_path();
    fs::path dir = fs::temp_directory_path() / ("cli-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string wire = (dir / "wire.log").string(), link = (dir / "board").string();
    pid_t sim = Spawn({(bin / "board-sim").string(), "--pace", "--link", link, "--wire-log", wire, "--flash",
                       (dir / "flash.bin").string()},
                      (dir / "sim.out").string());
    for (int i = 0; i < 100 && !fs::exists(link); ++i) usleep(50000);
    std::string cli = (bin / "flasher-cli").string();

    // Programming: the frames' bytes, the 3500 ms pause after the reset, and the break-in: a burst
    // written for at least 2000 ms, then 2000 ms of quiet. A line still carrying the burst's last
    // bytes after the writes ended carries them during that quiet, so the break-in takes the
    // longer of the burst's own line time and the 4000 ms.
    PrintLoad();
    size_t before = RecordCount(wire);
    Usage program = Run({cli, "--yes", "program", "--port", link, "--fonts", WriteLargestFonts(dir)},
                        (dir / "program.out").string());
    LineTime line = LineSeconds(ReadWireLog(wire, before));
    double programFloor = line.FrameSeconds + 3.5 + std::max(line.BurstSeconds, 2.0 + 2.0);
    Report("program (19200 baud)", program, programFloor, line);

    Run({cli, "--yes", "loader", "format", "--port", link}, (dir / "format.out").string());
    before = RecordCount(wire);
    Usage write = Run(
        {cli, "--yes", "loader", "write", "--port", link, "--block", "1", "--fonts", WriteLargestFonts(dir)},
        (dir / "write.out").string());
    line = LineSeconds(ReadWireLog(wire, before));
    const double writeFloor = line.FrameSeconds + line.BurstSeconds;
    Report("loader write (38400 baud)", write, writeFloor, line);

    if (!wineExe.empty()) {
        Run({cli, "--yes", "loader", "format", "--port", link}, (dir / "format.out").string());
        before = RecordCount(wire);
        Usage wine = RunUnderWine(
            wineExe, fs::read_symlink(link).string(),
            {"--yes", "loader", "write", "--port", "PORT", "--block", "1", "--fonts", WriteLargestFonts(dir)},
            (dir / "wine-write.out").string());
        LineTime wineLine = LineSeconds(ReadWireLog(wire, before));
        Report("loader write under wine", wine, wineLine.FrameSeconds + wineLine.BurstSeconds, wineLine);
        std::printf("wine / Linux loader write: %.2f s / %.2f s = %.4f (goal at most 1.05)\n", wine.WallSeconds,
                    write.WallSeconds, wine.WallSeconds / write.WallSeconds);
        if (wine.Status != 0) write.Status = wine.Status;
    }

    std::vector<WireRecord> frames = ReadWireLog(wire, before);
    Run({cli, "--yes", "loader", "format", "--port", link}, (dir / "format.out").string());
    const double bare = ReplayRequests(link, frames);
    ReportBare(bare, writeFloor, write, line);
    PrintLoad();

    // A latency timer's cost: the same floor, every reply held longer.
    for (int delay : {0, 1, 16})
        if (ProgramAtReplyDelay(bin, dir, delay).Status != 0) program.Status = 1;
    PrintLoad();

    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    fs::remove_all(dir);
    return program.Status == 0 && write.Status == 0 ? 0 : 1;
}
