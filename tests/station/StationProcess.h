// `flasher-cli station` running in the background for the end-to-end tests: its JSON events read
// as they come, with a time limit, its stderr in a file, signals sent to it.
#pragma once

#include "tests/common/JsonLine.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class TStationProcess {
public:
    // Runs `command` through the shell (exec'd: the process is flasher-cli itself).
    explicit TStationProcess(const std::string& command);
    ~TStationProcess();
    TStationProcess(const TStationProcess&) = delete;
    TStationProcess& operator=(const TStationProcess&) = delete;

    // The next line on stdout; nullopt when none came within `limit` or stdout ended.
    std::optional<std::string> NextLine(std::chrono::milliseconds limit);
    // The next event (a JSON line that parses) within `limit`.
    std::optional<JsonObject> NextEvent(std::chrono::milliseconds limit);
    void Signal(int signal) const;
    // Waits for the end: the exit status (-1: killed by a signal) and the rest of stdout in `rest`.
    int Wait(std::string* rest = nullptr);

private:
    int pid_ = -1;
    int out_ = -1;
    std::string pending_;
};

using Steady = std::chrono::steady_clock;
