// Calibrated microsecond busy-wait. The calibration counts loop passes while a marker thread
// sleeps one second, at the highest priority the process may get so the count is undisturbed.
// The counting loop yields 1 ms to the marker every 2^20 passes; on a machine that makes such a
// run in a fraction of a millisecond most of the second is yields, so the passes are divided by
// the processor time spent counting, not by the whole second, or every delay would run several
// times short. Processor time also leaves out what other programs took meanwhile.
#include "serial/Delay.h"

#include "serial/Clock.h"

#include "serial/DelayPlatform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

int64_t LoopsPerMicrosecond = 1;

namespace {
constexpr int64_t YieldEvery = int64_t{1} << 20;   // passes between the 1 ms pauses

// The delay's pass count lives in memory the compiler must read and write on every pass: a plain
// local one lets an optimiser see that the loop has no effect and drop it (clang -O2 did).
using TPassCounter = volatile int64_t;

// One pass of both the delay and the calibration: the same work, so that a pass takes as long
// in either, in every build (unoptimized, a flag read differently would cost several times more).
bool NextPass(const std::atomic<bool>& stop, TPassCounter& counter)
{
    counter = counter + 1;
    return !stop.load(std::memory_order_relaxed);
}

// The loop of both: passes until `bound` or until `stop` is set.
void CountUntil(int64_t bound, const std::atomic<bool>& stop, TPassCounter& counter)
{
    while (counter < bound && NextPass(stop, counter)) {}
}

// The delay's stop flag: never set, but a flag of the same kind as the calibration's marker.
std::atomic<bool> NeverStop{false};

// The marker: says it runs, then says when one second of real time has passed.
class TTmThread {
public:
    TTmThread(std::atomic<bool>& started, std::atomic<bool>& done)
        : Started(started), Done(done), thread_([this] { Execute(); })
    {
    }
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
}   // namespace

void Delay(int32_t microseconds)
{
    if (microseconds <= 0 || LoopsPerMicrosecond <= 0) return;
    int64_t bound = LoopsPerMicrosecond > std::numeric_limits<int64_t>::max() / microseconds
                        ? std::numeric_limits<int64_t>::max()
                        : microseconds * LoopsPerMicrosecond;
    TPassCounter counter = 1;
    CountUntil(bound, NeverStop, counter);
}

void CalibrateDelay()
{
    RaisePriority();
    TPassCounter counter = 1;
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
