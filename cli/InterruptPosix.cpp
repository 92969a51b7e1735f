#include "cli/Interrupt.h"
#include "cli/InterruptPlatform.h"

#include <csignal>

namespace {
void Handle(int) { OnInterrupt(); }
}   // namespace

void CatchInterrupts()
{
    struct sigaction action = {};
    action.sa_handler = Handle;
    sigemptyset(&action.sa_mask);
    // Without SA_RESTART a question waiting for the user's answer is cut short: it reads as No.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
