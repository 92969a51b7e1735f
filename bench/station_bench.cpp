// The production station under a shift's load: SLOTS simulated boards on paced lines, each
// plugged into its slot at a random moment within SPAN seconds, and one flasher-cli station
// watching them, at real speed. Prints per board how long after it appeared its job started and
// how long the job took against one board alone, and flasher-cli's CPU while no board works.
//
// Goals: every board starts within 0.5 s of appearing, takes at most 1.05 x one board alone, and
// the station idles below 0.1 % of a core.
//
// Usage: station_bench [--slots N] [--span S] [--idle S] [--seed N] [--quick] [BIN_DIR]
//        (defaults 16 slots, 60 s, 10 s of idle measured; --quick: 4 slots, 10 s, 3 s)
#include "tests/common/JsonLine.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

namespace {
struct Options {
    int Slots = 16;
    double Span = 60;
    double Idle = 10;
    unsigned Seed = 1;
    fs::path Bin;
};

struct SlotTimes {
    Steady::time_point Plugged{}, Working{};
    double Seconds = -1;
    std::string Outcome;
};

// A child with stdout on a pipe (`out`), or into /dev/null.
pid_t Start(const std::vector<std::string>& argv, int* out, const std::vector<std::string>& env = {})
{
    int fds[2] = {-1, -1};
    if (out && pipe(fds) != 0) return -1;
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        if (out) dup2(fds[1], STDOUT_FILENO);
        else std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "r", stdin);
        for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    if (out) {
        close(fds[1]);
        *out = fds[0];
    }
    return pid;
}

// CPU seconds (user + system) the process has used.
double CpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15) ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void SleepFor(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

// One station run: `plugAt` seconds after the start (one entry per slot), then `idle` seconds of
// nothing after the last board ends. Returns the slots' times; `idleCpu` the station's share of a
// core while idle before the first board and after the last.
std::vector<SlotTimes> Shift(const Options& o, const fs::path& dir, const std::vector<double>& plugAt, double& idleCpu)
{
    size_t n = plugAt.size();
    fs::remove_all(dir);
    fs::create_directories(dir / "slots");
    std::ofstream(dir / "st.ini") << "[Job]\nSettle=100\n[Slots]\n";
    std::vector<pid_t> sims;
    for (size_t i = 0; i < n; ++i) {
        std::string label = "S" + std::to_string(i + 1);
        std::ofstream(dir / "st.ini", std::ios::app) << label << "=" << (dir / "slots" / label).string() << "\n";
        sims.push_back(
            Start({(o.Bin / "board-sim").string(), "--unplugged", "--pace", "--link", (dir / "slots" / label).string()},
                  nullptr));
    }
    SleepFor(0.3);
    int out = -1;
    pid_t station = Start({(o.Bin / "flasher-cli").string(), "station", (dir / "st.ini").string(), "--json", "--boards",
                           std::to_string(n)},
                          &out);
    std::vector<SlotTimes> times(n);
    std::mutex lock;
    size_t ended = 0;
    std::thread reader([&] {
        FILE* in = fdopen(out, "r");
        char line[8192];
        while (std::fgets(line, sizeof line, in)) {
            auto event = ParseJsonObject(line);
            if (!event || !event->count("slot")) continue;
            size_t i = std::stoul(event->at("slot").substr(1)) - 1;
            std::lock_guard guard(lock);
            if (event->at("event") == "slot" && event->at("state") == "working") times[i].Working = Steady::now();
            if (event->at("event") == "board") {
                times[i].Seconds = std::stod(event->at("seconds"));
                times[i].Outcome = event->at("outcome");
                ++ended;
            }
        }
        std::fclose(in);
    });
    SleepFor(0.5);   // the station is up and watching
    double idleStart = CpuSeconds(station);
    SleepFor(o.Idle);
    idleCpu = CpuSeconds(station) - idleStart;
    auto start = Steady::now();
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return plugAt[a] < plugAt[b]; });
    for (size_t i : order) {
        std::this_thread::sleep_until(
            start + std::chrono::duration_cast<Steady::duration>(std::chrono::duration<double>(plugAt[i])));
        {
            std::lock_guard guard(lock);
            times[i].Plugged = Steady::now();
        }
        kill(sims[i], SIGUSR1);
    }
    int status = 0;
    waitpid(station, &status, 0);
    reader.join();
    for (pid_t sim : sims) kill(sim, SIGTERM);
    for (pid_t sim : sims) waitpid(sim, nullptr, 0);
    return times;
}

double Ms(Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
}   // namespace

int main(int argc, char** argv)
{
    Options o;
    o.Bin = fs::canonical("/proc/self/exe").parent_path();
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&] { return i + 1 < argc ? std::string(argv[++i]) : std::string("0"); };
        if (a == "--slots") o.Slots = std::stoi(next());
        else if (a == "--span") o.Span = std::stod(next());
        else if (a == "--idle") o.Idle = std::stod(next());
        else if (a == "--seed") o.Seed = static_cast<unsigned>(std::stoul(next()));
        else if (a == "--quick") {
            o.Slots = 4;
            o.Span = 10;
            o.Idle = 3;
        } else o.Bin = a;
    }
    fs::path dir = fs::temp_directory_path() / ("station-bench-" + std::to_string(getpid()));

    double idle = 0;
    std::vector<SlotTimes> alone = Shift(o, dir / "alone", {0.0}, idle);
    double baseline = alone[0].Seconds;
    std::printf("one board alone: %.2f s (%s)\n", baseline, alone[0].Outcome.c_str());

    std::mt19937 random(o.Seed);
    std::uniform_real_distribution<double> moment(0, o.Span);
    std::vector<double> plugAt(static_cast<size_t>(o.Slots));
    for (double& at : plugAt) at = moment(random);
    double idleCpu = 0;
    std::vector<SlotTimes> times = Shift(o, dir / "shift", plugAt, idleCpu);

    std::printf("%d slots, boards plugged at random within %.0f s (seed %u)\n", o.Slots, o.Span, o.Seed);
    std::printf("slot  plugged(s)  start after(ms)  took(s)  x alone  outcome\n");
    double worstStart = 0, worstRatio = 0;
    int passed = 0;
    for (size_t i = 0; i < times.size(); ++i) {
        double startMs = Ms(times[i].Working - times[i].Plugged);
        double ratio = times[i].Seconds / baseline;
        worstStart = std::max(worstStart, startMs);
        worstRatio = std::max(worstRatio, ratio);
        passed += times[i].Outcome == "passed";
        std::printf("S%-3zu  %10.2f  %15.0f  %7.2f  %7.3f  %s\n", i + 1, plugAt[i], startMs, times[i].Seconds, ratio,
                    times[i].Outcome.c_str());
    }
    std::printf("passed %d of %d\n", passed, o.Slots);
    std::printf("slowest start after appearing: %.0f ms (goal <= 500)\n", worstStart);
    std::vector<double> ratios;
    for (const SlotTimes& t : times) ratios.push_back(t.Seconds / baseline);
    std::sort(ratios.begin(), ratios.end());
    std::printf("slowest board: %.3f x one board alone (goal <= 1.05), median %.3f\n", worstRatio,
                ratios[ratios.size() / 2]);
    std::printf("station CPU while idle: %.4f %% of a core over %.0f s (goal < 0.1 %%)\n", 100.0 * idleCpu / o.Idle,
                o.Idle);
    fs::remove_all(dir);
    return 0;
}
