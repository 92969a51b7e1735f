// flasher-cli station FILE: the production station on the command line (see station/Station.h);
// station --check FILE: the file checked and the slots present now.
#pragma once

#include "cli/CliOptions.h"

struct StationOptions {
    GlobalOptions Global;
    std::string File;
    bool Check = false;
    int32_t Boards = 0;          // end the shift after this many boards; 0: at Ctrl-C
    std::string OnResult;        // the command run per board with its record on stdin
    double OnResultLimit = 10;   // seconds
};

void SetupStation(CLI::App& app, const GlobalOptions& global);
// Exit statuses besides the boards': 64 for a bad station file, 4 for a refused job file.
int RunStation(const StationOptions& options);
