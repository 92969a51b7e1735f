// Calibrated microsecond busy-wait, measured once at start-up; only the two-wire bus uses it.
#pragma once

#include <cstdint>

extern int64_t LoopsPerMicrosecond;   // 1 until CalibrateDelay, 0 when the calibration failed

void Delay(int32_t microseconds);
// About one second at the highest priority the process may get, then normal priority again.
// Failures of the priority calls are ignored.
void CalibrateDelay();
void RaisePriority();
void RestorePriority();
