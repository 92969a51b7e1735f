// The operating system's part of the delay calibration on Windows: priority classes, and the scale
// of the thread cycle counter (the CPU clock itself is inline in DelayPlatform.h).
#include "serial/Delay.h"
#include "serial/DelayPlatform.h"

namespace {
// Long enough that the counters' granularity does not matter, short enough for start-up.
constexpr double ScaleSpanMicros = 20000;

struct SavedPriority {
    bool valid = false;
    DWORD processClass = NORMAL_PRIORITY_CLASS;
    int thread = THREAD_PRIORITY_NORMAL;
};
SavedPriority Saved;
}   // namespace

double PerformanceCounterMicros()
{
    static const double perMicro = [] {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e6;
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / perMicro;
}

// Busy for ScaleSpanMicros on this thread: the cycles it counted over the microseconds that passed.
double ThreadCyclesPerMicrosecond()
{
    ULONG64 startCycles = 0, endCycles = 0;
    if (!QueryThreadCycleTime(GetCurrentThread(), &startCycles)) return 0;
    const double start = PerformanceCounterMicros();
    double now = start;
    while (now - start < ScaleSpanMicros) now = PerformanceCounterMicros();
    if (!QueryThreadCycleTime(GetCurrentThread(), &endCycles) || endCycles <= startCycles) return 0;
    return static_cast<double>(endCycles - startCycles) / (now - start);
}

// Realtime class is granted as "high" without the privilege; failures are ignored.
void RaisePriority()
{
    Saved.processClass = GetPriorityClass(GetCurrentProcess());
    Saved.thread = GetThreadPriority(GetCurrentThread());
    Saved.valid = Saved.processClass != 0 && Saved.thread != THREAD_PRIORITY_ERROR_RETURN;
    SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

// Back to what the process had before RaisePriority (normal if it was never raised).
void RestorePriority()
{
    SetPriorityClass(GetCurrentProcess(), Saved.valid ? Saved.processClass : NORMAL_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), Saved.valid ? Saved.thread : THREAD_PRIORITY_NORMAL);
    Saved.valid = false;
}
