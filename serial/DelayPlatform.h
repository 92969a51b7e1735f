// What the delay calibration needs of the operating system. Not for use outside serial/.
#pragma once

// The calling thread's processor time, in microseconds.
double ThreadCpuMicros();
