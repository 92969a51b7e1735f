// The one clock of the program: every timeout and pause of the protocols reads ticks and sleeps
// here. Production runs at real time; tests speed it up so that silent boards fail in
// milliseconds, while reply timeouts may stay at real length so that a loaded machine never makes
// a healthy exchange time out.
#pragma once

#include <chrono>
#include <cstdint>

namespace Clock {

// Milliseconds on the program's tick counter; wraps at 2^32 like the system tick counter.
uint32_t TickCount();
// Microseconds on the same clock, scaled like the ticks, for what must be timed finer than a
// tick (the simulated line's bytes). Counts from an arbitrary origin, never wraps, and is not set
// back by SetTickCount.
uint64_t Micros();
// The tick counter's reading at the moment Micros() read `micros` (earlier or now).
uint32_t TickCountAt(uint64_t micros);
// Pauses for ms ticks.
void Sleep(int64_t ms);
// Real time that `ticks` of the program's clock take.
std::chrono::nanoseconds RealDuration(int64_t ticks);
// A reply timeout or packet gap of ms milliseconds, in ticks (see SetScale).
int64_t ReplyTicks(int64_t ms);

// Tests: ticks and pauses run `speedup` times faster than real time; reply timeouts run
// `replySpeedup` times faster (1: real length, whatever the speed-up of pauses).
void SetScale(double speedup, double replySpeedup = 1.0);
double Speedup();
// Tests: the tick counter reads `ticks` now (to cross the 2^32 wrap without waiting 49 days).
void SetTickCount(uint32_t ticks);
// Back to real time.
void Reset();

}   // namespace Clock
