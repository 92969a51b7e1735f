// The priority the window program raises when its window is shown: the high class for the process
// and the highest priority for the window's thread, which times the board's protocol. The
// operating system's part; failures (no privilege) are ignored.
#pragma once

void RaiseWindowPriority();
