// Programs 1, 4, 8 and 16 paced simulated boards at once with one flasher-cli and compares each
// run's wall time with one board's: on a line the boards share nothing but the process, so N
// boards should take the time of one. Also the CPU time per board and the peak memory.
// Targets: 16 boards within 1.05 x one board's time, CPU under 1 % of one core per board, peak
// memory under 10 MB + 1 MB per board.
//
// Usage: line_bench [BIN_DIR]   (default: the folder this program lies in)
#include "BenchProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
void PrintLoad()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    std::printf("load average %s %s %s\n", one.c_str(), five.c_str(), fifteen.c_str());
}

// `boards` paced simulators, each behind a link named dir/boardN; stopped when destroyed.
class Simulators {
public:
    Simulators(const fs::path& bin, const fs::path& dir, int boards)
    {
        for (int i = 0; i < boards; ++i) {
            std::string link = (dir / ("board" + std::to_string(i))).string();
            pids_.push_back(Spawn({(bin / "board-sim").string(), "--pace", "--link", link}, "/dev/null"));
            for (int wait = 0; wait < 100 && !fs::exists(link); ++wait) usleep(50000);
            Links.push_back(link);
        }
    }
    ~Simulators()
    {
        for (pid_t pid : pids_) kill(pid, SIGTERM);
        for (pid_t pid : pids_) waitpid(pid, nullptr, 0);
    }
    std::vector<std::string> Links;

private:
    std::vector<pid_t> pids_;
};

Usage ProgramBoards(const fs::path& bin, const fs::path& dir, int boards)
{
    Simulators sims(bin, dir, boards);
    std::vector<std::string> argv = {(bin / "flasher-cli").string(), "program"};
    for (const std::string& link : sims.Links) argv.insert(argv.end(), {"--port", link});
    return Run(argv, (dir / ("program" + std::to_string(boards) + ".out")).string());
}
}   // namespace

int main(int argc, char** argv)
{
    fs::path bin = argc > 1 ? fs::path(argv[1]) : fs::canonical("/proc/self/exe").parent_path();
    fs::path dir = fs::temp_directory_path() / ("line-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    PrintLoad();
    double one = 0;
    bool ok = true;
    for (int boards : {1, 4, 8, 16}) {
        Usage u = ProgramBoards(bin, dir, boards);
        if (boards == 1) one = u.WallSeconds;
        const double cpuPerBoard = 100.0 * u.CpuSeconds / u.WallSeconds / boards;
        std::printf("%2d boards  exit %d  wall %6.2f s  x%.4f of one board  cpu %.3f s (%.3f %% of a core per board)  "
                    "peak %.1f MB (target %d MB)\n",
                    boards, u.Status, u.WallSeconds, u.WallSeconds / one, u.CpuSeconds, cpuPerBoard, u.PeakMb,
                    10 + boards);
        ok = ok && u.Status == 0;
    }
    PrintLoad();
    fs::remove_all(dir);
    return ok ? 0 : 1;
}
