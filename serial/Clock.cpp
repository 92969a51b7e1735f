#include "serial/Clock.h"

#include <algorithm>
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
    uint64_t originMicros = 0;
    double speedup = 1.0;
    double replySpeedup = 1.0;
};

State& S()
{
    static State state;
    return state;
}

// Clock microseconds since the last re-anchoring; ticks and micros both count from there.
uint64_t MicrosSinceOrigin(const State& s, Steady::time_point now)
{
    double realUs = std::chrono::duration<double, std::micro>(now - s.origin).count();
    return static_cast<uint64_t>(std::max(0.0, realUs * s.speedup));
}

uint32_t TicksLocked(const State& s, Steady::time_point now = Steady::now())
{
    return s.originTicks + static_cast<uint32_t>(MicrosSinceOrigin(s, now) / 1000);
}

// Re-anchors the clock at now, so a change of speed does not make it jump: the tick counter
// reads ticksNow from here, the microseconds run on.
void Rebase(State& s, uint32_t ticksNow, Steady::time_point now)
{
    s.originMicros += MicrosSinceOrigin(s, now);
    s.origin = now;
    s.originTicks = ticksNow;
}
}   // namespace

uint32_t TickCount()
{
    State& s = S();
    std::lock_guard g(s.lock);
    return TicksLocked(s);
}

uint64_t Micros()
{
    State& s = S();
    std::lock_guard g(s.lock);
    return s.originMicros + MicrosSinceOrigin(s, Steady::now());
}

uint32_t TickCountAt(uint64_t micros)
{
    State& s = S();
    std::lock_guard g(s.lock);
    // Floor division, also for a moment before the last re-anchoring.
    int64_t since = static_cast<int64_t>(micros - s.originMicros);
    int64_t ticks = since >= 0 ? since / 1000 : -((-since + 999) / 1000);
    return s.originTicks + static_cast<uint32_t>(ticks);
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
    Steady::time_point now = Steady::now();
    Rebase(s, TicksLocked(s, now), now);
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
    Rebase(s, ticks, Steady::now());
}

void Reset()
{
    State& s = S();
    std::lock_guard g(s.lock);
    Steady::time_point now = Steady::now();
    Rebase(s, TicksLocked(s, now), now);
    s.speedup = 1.0;
    s.replySpeedup = 1.0;
}

}   // namespace Clock
