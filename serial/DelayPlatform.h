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
#else
#error "serial/ has no delay code for this system yet"
#endif
