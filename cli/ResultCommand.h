// flasher-cli station --on-result CMD: the user's command run once per board with the board's
// record (JSON) on its stdin, one after another on a thread of its own, so a slow command never
// holds up a slot. A command that fails or overruns its time limit is said on stderr and
// forgotten: it never stops the station.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

class TResultCommand {
public:
    TResultCommand(std::string command, double limitSeconds);
    ~TResultCommand();   // runs what is queued, then ends
    TResultCommand(const TResultCommand&) = delete;
    TResultCommand& operator=(const TResultCommand&) = delete;

    // Queues a run for the board in slot `label` with `json` on its stdin.
    void Post(const std::string& label, const std::string& json);

private:
    void Serve();

    std::string command_;
    double limit_;
    std::mutex lock_;
    std::condition_variable posted_;
    std::deque<std::pair<std::string, std::string>> queue_;
    bool ending_ = false;
    std::thread thread_;
};

// How one run went.
struct TCommandRun {
    bool Started = false;
    bool TimedOut = false;   // killed at the time limit
    int Status = 0;          // its exit status; -1: ended by a signal
    std::string Error;       // why it did not start
};

// Runs `command` through the system's shell with `input` on its stdin and stdout and stderr
// shared with this program; killed after `limitSeconds`. Platform code.
TCommandRun RunCommandWithInput(const std::string& command, const std::string& input, double limitSeconds);
