// Window start-up: from starting the window program to its window shown and painted (flasher
// --quit-when-shown prints "shown" once its event loop has shown the window, then closes it), for
// the Linux build and for the Windows build under wine with its server already running. Start-up
// holds the program's one-second delay calibration. Goal under wine: 2 s at most.
//
// Usage: window_startup_bench [--wine FLASHER_EXE] [RUNS]   (default 5 runs; the median and the
// fastest are printed). Needs a screen (xvfb-run -a); WINEPREFIX as the Windows build's
// (build-win/wineprefix). The Windows program finds its DLLs beside it (the build's bin/ after
// the windows-runtime target, or the unpacked zip).
#include "BenchProcess.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Seconds from starting `argv` to its "shown" line; negative when it printed none or failed.
double TimeToShown(const std::vector<std::string>& argv)
{
    std::string fifo = "/tmp/window_startup_bench-" + std::to_string(getpid()) + ".fifo";
    unlink(fifo.c_str());
    if (mkfifo(fifo.c_str(), 0600) != 0) return -1;
    Clock::time_point start = Clock::now();
    pid_t pid = Spawn(argv, fifo);
    FILE* out = std::fopen(fifo.c_str(), "r");
    double shown = -1;
    char line[256];
    while (out && std::fgets(line, sizeof line, out))
        if (shown < 0 && std::string(line).starts_with("shown")) shown = Since(start);
    if (out) std::fclose(out);
    int status = 0;
    waitpid(pid, &status, 0);
    unlink(fifo.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? shown : -1;
}

// The median of `runs` after one run that fills the caches (and starts wine's services).
void Measure(const char* what, const std::vector<std::string>& argv, int runs, double goal = 0)
{
    TimeToShown(argv);
    std::vector<double> times;
    bool failed = false;
    for (int i = 0; i < runs; ++i) {
        double t = TimeToShown(argv);
        failed = failed || t < 0;
        times.push_back(t);
    }
    std::sort(times.begin(), times.end());
    double median = times[times.size() / 2];
    std::printf("%-50s median %.2f s, fastest %.2f s%s", what, median, times.front(), failed ? " (a run failed)" : "");
    if (goal > 0) std::printf("  (goal <= %.0f s: %s)", goal, !failed && median <= goal ? "met" : "missed");
    std::printf("\n");
}
}   // namespace

int main(int argc, char** argv)
{
    std::string wineExe;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--wine" && i + 1 < argc) wineExe = argv[++i];
        else runs = std::max(1, std::atoi(argv[i]));
    }
    if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::printf("Window start-up, from starting the program to its window shown, %d runs each:\n", runs);
    Measure("Linux (flasher)", {FLASHER_PROGRAM, "--quit-when-shown"}, runs);
    if (!wineExe.empty()) {
        // A persistent server, as on a machine where wine runs already.
        pid_t server = Spawn({"/usr/bin/wineserver", "-p"}, "/dev/null");
        Measure("Windows under wine (flasher.exe, server running)", {"/usr/bin/wine", wineExe, "--quit-when-shown"},
                runs, 2);
        Run({"/usr/bin/wineserver", "-k"}, "/dev/null");
        waitpid(server, nullptr, 0);
    }
    return 0;
}
