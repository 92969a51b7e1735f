// The operating system's part of the delay calibration: priorities (the CPU clock is inline in
// DelayPlatform.h).
#include "serial/Delay.h"

#include <cerrno>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

namespace {
constexpr int HighestNice = -20;

struct SavedPriority {
    bool valid = false;
    int nice = 0;
    int policy = SCHED_OTHER;
    sched_param param{};
};
SavedPriority Saved;

}   // namespace

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
