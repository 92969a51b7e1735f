#include "cli/Interrupt.h"

#include "cli/ExitStatus.h"
#include "cli/InterruptPlatform.h"

#include <cstdlib>

namespace {
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");
}   // namespace

const std::atomic<bool>& InterruptFlag() { return interrupted; }

// Signal-safe: an atomic store, or _Exit.
void OnInterrupt()
{
    if (interrupted.exchange(true)) std::_Exit(ExitStatus(TOutcome::Stopped));
}
