// Calibrated microsecond busy-wait. The calibration counts loop passes while a marker thread
// sleeps one second, at the highest priority the process may get so the count is undisturbed.
#include "serial/Delay.h"

#include "serial/Clock.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <limits>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <thread>

int64_t LoopsPerMicrosecond = 1;

namespace {
constexpr int64_t YieldMask = (int64_t{1} << 20) - 1;   // a 1 ms pause every 2^20 passes
constexpr int HighestNice = -20;

struct SavedPriority {
    bool valid = false;
    int nice = 0;
    int policy = SCHED_OTHER;
    sched_param param{};
};
SavedPriority Saved;

// The marker: says it runs, then says when one second of real time has passed.
class TTmThread {
public:
    TTmThread(std::atomic<bool>& started, std::atomic<bool>& done)
        : Started(started), Done(done), thread_([this] { Execute(); }) {}
    ~TTmThread() { thread_.join(); }
    TTmThread(const TTmThread&) = delete;
    TTmThread& operator=(const TTmThread&) = delete;

    std::atomic<bool>& Started;
    std::atomic<bool>& Done;

private:
    void Execute()
    {
        Started = true;
        // A measurement of real time, not a protocol pause: the program's clock may be scaled
        // by tests, and the delay must stay microseconds of the real world.
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        Done = true;
    }
    std::thread thread_;
};
} // namespace

void Delay(int32_t microseconds)
{
    if (microseconds <= 0 || LoopsPerMicrosecond <= 0) return;
    int64_t bound = LoopsPerMicrosecond > std::numeric_limits<int64_t>::max() / microseconds
                        ? std::numeric_limits<int64_t>::max()
                        : microseconds * LoopsPerMicrosecond;
    int64_t counter = 1;
    // Read every pass like the calibration's flag, so both loops do the same work per pass.
    volatile bool stop = false;
    while (counter < bound && !stop) ++counter;
}

// Linux has no priority classes: the thread's nice value and a real-time scheduling policy
// stand in. Without privilege both are refused, which is ignored.
void RaisePriority()
{
    errno = 0;
    int nice = getpriority(PRIO_PROCESS, 0);
    if (errno == 0 && pthread_getschedparam(pthread_self(), &Saved.policy, &Saved.param) == 0) {
        Saved.nice = nice;
        Saved.valid = true;
    }
    setpriority(PRIO_PROCESS, 0, HighestNice);
    sched_param top{};
    top.sched_priority = sched_get_priority_max(SCHED_FIFO);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &top);
}

// Back to what the process had before RaisePriority (the normal level if it was never raised),
// so a user's own nice setting survives.
void RestorePriority()
{
    sched_param normal{};
    if (Saved.valid) {
        pthread_setschedparam(pthread_self(), Saved.policy, &Saved.param);
        setpriority(PRIO_PROCESS, 0, Saved.nice);
    } else {
        pthread_setschedparam(pthread_self(), SCHED_OTHER, &normal);
        setpriority(PRIO_PROCESS, 0, 0);
    }
    Saved.valid = false;
}

void CalibrateDelay()
{
    RaisePriority();
    int64_t counter = 1;
    std::atomic<bool> started{false}, done{false};
    {
        TTmThread marker(started, done);   // inherits the raised priority
        while (!started.load(std::memory_order_relaxed)) Clock::Sleep(1);
        while (!done.load(std::memory_order_relaxed)) {
            ++counter;
            if ((counter & YieldMask) == 0) Clock::Sleep(1);   // lets the marker run
        }
    }
    double loops = std::round(static_cast<double>(counter) / 1e6);
    LoopsPerMicrosecond = std::isfinite(loops) && loops >= 0 ? static_cast<int64_t>(loops) : 0;
    RestorePriority();
}
