// Round trip of one request and its reply over a pseudo-terminal with an instant echo peer,
// through TComPort and through a bare read/write on the same terminal; the difference is what
// the receive path (receive thread, packet judging, wake-up of the waiter) adds. Then the CPU
// time of the receive thread while the port stays open and idle. Last, how long the calibrated
// microsecond delay really waits.
//
// Usage: serial_latency [round trips, default 5000] [idle seconds, default 10]
//
// A benchmark measures real time, so it reads the steady clock itself.
#include "serial/Clock.h"
#include "serial/Delay.h"
#include "serial/Serial.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using Steady = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

Bytes Frame(const Bytes& payload)
{
    Bytes frame{static_cast<uint8_t>(payload.size() + 3), 0, 0};
    Checksums(payload.data(), static_cast<int32_t>(payload.size()), frame[1], frame[2]);
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

const Bytes Request = Frame({0xC8});
const Bytes Reply = Frame({'O', 'K', '!'});

// Answers every complete request frame with the reply at once.
class EchoPeer {
public:
    explicit EchoPeer(int master) : master_(master)
    {
        if (pipe(wake_) != 0) std::abort();
        thread_ = std::thread([this] { Run(); });
    }
    ~EchoPeer()
    {
        stop_ = true;
        (void)!write(wake_[1], "x", 1);
        thread_.join();
        close(wake_[0]);
        close(wake_[1]);
    }

private:
    void Run()
    {
        Bytes pending;
        uint8_t chunk[512];
        while (!stop_) {
            pollfd fds[2] = {{wake_[0], POLLIN, 0}, {master_, POLLIN, 0}};
            if (poll(fds, 2, -1) <= 0 || !(fds[1].revents & POLLIN)) continue;
            ssize_t n = read(master_, chunk, sizeof chunk);
            if (n <= 0) return;
            pending.insert(pending.end(), chunk, chunk + n);
            while (!pending.empty() && pending.size() >= pending[0]) {
                pending.erase(pending.begin(), pending.begin() + std::max<size_t>(pending[0], 1));
                (void)!write(master_, Reply.data(), Reply.size());
            }
        }
    }
    int master_;
    int wake_[2];
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Figures {
    double median, p99;
};

Figures Percentiles(std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 99 / 100]};
}

template <typename RoundTrip> std::vector<double> Measure(int count, RoundTrip roundTrip)
{
    for (int i = 0; i < count / 10; ++i) roundTrip();   // warm-up
    std::vector<double> us;
    for (int i = 0; i < count; ++i) {
        auto start = Steady::now();
        if (!roundTrip()) {
            std::fprintf(stderr, "round trip %d failed\n", i);
            std::exit(1);
        }
        us.push_back(std::chrono::duration<double, std::micro>(Steady::now() - start).count());
    }
    return us;
}

bool RawRoundTrip(int fd)
{
    if (write(fd, Request.data(), Request.size()) != static_cast<ssize_t>(Request.size())) return false;
    tcdrain(fd);
    size_t got = 0;
    uint8_t buffer[64];
    while (got < Reply.size()) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0) return false;
        ssize_t n = read(fd, buffer + got, sizeof buffer - got);
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

int OpenRawSlave(const char* path)
{
    int fd = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (fd < 0 || tcgetattr(fd, &tio) != 0) return -1;
    cfmakeraw(&tio);
    tio.c_cflag |= CS8 | CSTOPB | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetspeed(&tio, B19200);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// CPU time of the receive thread in nanoseconds (schedstat), or from its tick counts.
double ReceiverCpuNs()
{
    DIR* tasks = opendir("/proc/self/task");
    double ns = -1;
    while (dirent* entry = tasks ? readdir(tasks) : nullptr) {
        std::string dir = std::string("/proc/self/task/") + entry->d_name;
        std::string comm;
        std::getline(std::ifstream(dir + "/comm"), comm);
        if (comm != "comport-rx") continue;
        std::ifstream schedstat(dir + "/schedstat");
        if (schedstat >> ns) break;
        std::string stat;
        std::getline(std::ifstream(dir + "/stat"), stat);
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        long ticks = 0;
        for (int n = 3; n <= 15 && fields >> field; ++n)
            if (n >= 14) ticks += std::atol(field.c_str());
        ns = static_cast<double>(ticks) * 1e9 / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    if (tasks) closedir(tasks);
    return ns;
}
}   // namespace

int main(int argc, char** argv)
{
    int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 10;
    if (count < 10 || idleSeconds < 1) {
        std::fprintf(stderr, "usage: serial_latency [round trips >= 10] [idle seconds >= 1]\n");
        return 2;
    }
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 1;
    const char* slave = ptsname(master);
    EchoPeer peer(master);

    TComPort port(false, true);
    if (TMaybeProblem failure = port.Open(slave)) {
        std::fprintf(stderr, "open %s: %s\n", slave, failure->Reason().c_str());
        return 1;
    }
    std::vector<double> viaPort = Measure(count, [&] {
        std::string text;
        return port.SendPacket(Request.data() + 3, 1) && port.WaitPacketText(text, 1000) && text == "OK!";
    });
    port.Open("");

    int raw = OpenRawSlave(slave);
    if (raw < 0) return 1;
    std::vector<double> bare = Measure(count, [&] { return RawRoundTrip(raw); });
    close(raw);

    Figures p = Percentiles(viaPort), r = Percentiles(bare);
    std::printf("round trips: %d over a pseudo-terminal, instant echo peer\n", count);
    std::printf("  through TComPort    median %8.1f us   p99 %8.1f us\n", p.median, p.p99);
    std::printf("  bare read/write     median %8.1f us   p99 %8.1f us\n", r.median, r.p99);
    std::printf("  added by receive    median %8.1f us   p99 %8.1f us   (target: median < 100 us)\n",
                p.median - r.median, p.p99 - r.p99);

    port.Open(slave);
    double before = ReceiverCpuNs();
    Clock::Sleep(int64_t{idleSeconds} * 1000);
    double used = ReceiverCpuNs() - before;
    std::printf("idle port, %d s: receive thread CPU %.3f ms = %.4f %% of one core   (target: < 1 %%)\n", idleSeconds,
                used / 1e6, used / (idleSeconds * 1e9) * 100.0);
    port.Open("");
    close(master);

    CalibrateDelay();
    for (int32_t us : {10, 1000}) {
        std::vector<double> took = Measure(200, [&] {
            Delay(us);
            return true;
        });
        std::printf("Delay(%d) after calibration (%lld loops/us): median %.1f us\n", us,
                    static_cast<long long>(LoopsPerMicrosecond), Percentiles(took).median);
    }
    return 0;
}
