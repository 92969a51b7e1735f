// Calibrated microsecond busy-wait. The calibration counts loop passes while a marker thread
// sleeps one second, at the highest priority the process may get so the count is undisturbed.
// The counting loop yields 1 ms to the marker every 2^20 passes; on a machine that makes such a
// run in a fraction of a millisecond most of the second is yields, so the passes are divided by
// the processor time spent counting, not by the whole second, or every delay would run several
// times short. Processor time also leaves out what other programs took meanwhile.
#include "serial/Delay.h"

#include "serial/Clock.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <limits>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <thread>
#include <time.h>

int64_t LoopsPerMicrosecond = 1;

namespace {
constexpr int64_t YieldEvery = int64_t{1} << 20;   // passes between the 1 ms pauses
constexpr int HighestNice = -20;

struct SavedPriority {
    bool valid = false;
    int nice = 0;
    int policy = SCHED_OTHER;
    sched_param param{};
};
SavedPriority Saved;

double ThreadCpuMicros()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// One pass of both the delay and the calibration: the same work, so that a pass takes as long
// in either, in every build (unoptimized, a flag read differently would cost several times more).
bool NextPass(const std::atomic<bool>& stop, int64_t& counter)
{
    ++counter;
    return !stop.load(std::memory_order_relaxed);
}

// The loop of both: passes until `bound` or until `stop` is set.
void CountUntil(int64_t bound, const std::atomic<bool>& stop, int64_t& counter)
{
    while (counter < bound && NextPass(stop, counter)) {}
}

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
    const std::atomic<bool> never{false};
    CountUntil(bound, never, counter);
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
    double micros = 0;
    std::atomic<bool> started{false}, done{false};
    {
        TTmThread marker(started, done);   // inherits the raised priority
        while (!started.load(std::memory_order_relaxed)) Clock::Sleep(1);
        for (;;) {
            const double start = ThreadCpuMicros();
            CountUntil(counter + YieldEvery, done, counter);
            micros += ThreadCpuMicros() - start;
            if (done.load(std::memory_order_relaxed)) break;
            Clock::Sleep(1);   // lets the marker run
        }
    }
    double loops = std::round(static_cast<double>(counter) / std::max(micros, 1.0));
    LoopsPerMicrosecond = std::isfinite(loops) && loops >= 0 ? static_cast<int64_t>(loops) : 0;
    RestorePriority();
}
