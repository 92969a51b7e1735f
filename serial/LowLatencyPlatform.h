// The platform's part of the low-latency step's advice (LowLatencyLinux.cpp, LowLatencyWin32.cpp).
#pragma once

#include "serial/LowLatency.h"

#include <string>

// How the user lowers the adapter's timer on this system, one sentence or two.
std::string LatencyAdvice(const TAdapterLatency& latency);
