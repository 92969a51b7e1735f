#include "serial/Clock.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace Clock {
namespace {
using Steady = std::chrono::steady_clock;

struct State {
    std::mutex lock;
    Steady::time_point origin = Steady::now();
    uint32_t originTicks = 0;
    double speedup = 1.0;
    double replySpeedup = 1.0;
};

State& S()
{
    static State state;
    return state;
}

// Re-anchors the tick counter at now, so a change of speed does not make it jump.
void Rebase(State& s, uint32_t ticksNow)
{
    s.origin = Steady::now();
    s.originTicks = ticksNow;
}

uint32_t TicksLocked(State& s)
{
    double realMs = std::chrono::duration<double, std::milli>(Steady::now() - s.origin).count();
    return s.originTicks + static_cast<uint32_t>(static_cast<uint64_t>(realMs * s.speedup));
}
} // namespace

uint32_t TickCount()
{
    State& s = S();
    std::lock_guard g(s.lock);
    return TicksLocked(s);
}

std::chrono::nanoseconds RealDuration(int64_t ticks)
{
    if (ticks <= 0) return std::chrono::nanoseconds(0);
    double speedup = Speedup();
    return std::chrono::nanoseconds(static_cast<int64_t>(static_cast<double>(ticks) * 1e6 / speedup));
}

void Sleep(int64_t ms)
{
    if (ms > 0) std::this_thread::sleep_for(RealDuration(ms));
}

int64_t ReplyTicks(int64_t ms)
{
    State& s = S();
    std::lock_guard g(s.lock);
    return static_cast<int64_t>(static_cast<double>(ms) * s.speedup / s.replySpeedup);
}

void SetScale(double speedup, double replySpeedup)
{
    State& s = S();
    std::lock_guard g(s.lock);
    Rebase(s, TicksLocked(s));
    s.speedup = speedup > 0 ? speedup : 1.0;
    s.replySpeedup = replySpeedup > 0 ? replySpeedup : 1.0;
}

double Speedup()
{
    State& s = S();
    std::lock_guard g(s.lock);
    return s.speedup;
}

void SetTickCount(uint32_t ticks)
{
    State& s = S();
    std::lock_guard g(s.lock);
    Rebase(s, ticks);
}

void Reset()
{
    State& s = S();
    std::lock_guard g(s.lock);
    Rebase(s, TicksLocked(s));
    s.speedup = 1.0;
    s.replySpeedup = 1.0;
}

} // namespace Clock
