#include "app/WindowPriority.h"

#include <sys/resource.h>
#include <unistd.h>

namespace {
// Linux has no priority classes: nice values stand in for the high class and the highest thread
// priority. A real-time policy is not used: a window thread that never yields would stall the machine.
constexpr int HighClassNice = -10;
constexpr int HighestThreadNice = -15;
}   // namespace

void RaiseWindowPriority()
{
    // Without the privilege to lower nice values both calls fail, which is ignored.
    setpriority(PRIO_PROCESS, static_cast<id_t>(getpid()), HighClassNice);
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), HighestThreadNice);
}
