#include "cli/Interrupt.h"
#include "cli/InterruptPlatform.h"

#include <windows.h>

namespace {
// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI Handle(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: OnInterrupt(); return TRUE;
    case CTRL_CLOSE_EVENT:
        // The console goes away a few seconds after this returns: stop the work and wait for it.
        OnInterrupt();
        Sleep(INFINITE);
        return TRUE;
    default: return FALSE;
    }
}
}   // namespace

void CatchInterrupts() { SetConsoleCtrlHandler(Handle, TRUE); }
