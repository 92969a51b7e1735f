#include "app/WindowPriority.h"

#include <windows.h>

void RaiseWindowPriority()
{
    // The high class, not real-time: a window thread that never yields would stall the machine.
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
}
