// Running a program for a benchmark: its wall time, CPU time and peak memory.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct Usage {
    double WallSeconds = 0, CpuSeconds = 0, PeakMb = 0;
    int Status = -1;
};

// Starts `argv` with stdout into the file `out` and stdin from /dev/null.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& out);

// Runs `argv` to its end (stdout into `out`) and measures it.
Usage Run(const std::vector<std::string>& argv, const std::string& out);
