// What the delay calibration needs of the operating system. Not for use outside serial/.
#pragma once

#if defined(__unix__)
#include <time.h>

// The calling thread's processor time, in microseconds. Inline beside the counting loop, as the
// calibration was measured: out of line, Delay(1000) ran 1.8-1.9 ms after calibration in two runs.
inline double ThreadCpuMicros()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}
#elif defined(_WIN32)
#include <windows.h>

// Processor cycles per microsecond of the cycle counter behind QueryThreadCycleTime, measured once
// against QueryPerformanceCounter; 0 when the system does not count a thread's cycles.
double ThreadCyclesPerMicrosecond();
double PerformanceCounterMicros();

// The calling thread's processor time, in microseconds: its cycle count when the system keeps one,
// else the performance counter (wall time, which equals it on an idle core).
inline double ThreadCpuMicros()
{
    static const double perMicro = ThreadCyclesPerMicrosecond();
    ULONG64 cycles = 0;
    if (perMicro > 0 && QueryThreadCycleTime(GetCurrentThread(), &cycles))
        return static_cast<double>(cycles) / perMicro;
    return PerformanceCounterMicros();
}
#else
#error "serial/ has no delay code for this system yet"
#endif
