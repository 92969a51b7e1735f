// Ctrl-C and SIGTERM (Ctrl-Break and the console closing on Windows). The first stops every link's
// port after its current exchange (TComPort::StopRequest): the workflows end quickly, close their
// ports and the program says where they stopped. The second ends the program at once.
#pragma once

#include <atomic>

// Installs the handlers; call once at start.
void CatchInterrupts();

// Raised by the first interrupt; every link's port watches it.
const std::atomic<bool>& InterruptFlag();

inline bool Interrupted() { return InterruptFlag().load(); }
