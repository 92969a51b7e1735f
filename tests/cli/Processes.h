// Running the real executables for end-to-end tests.
#pragma once

#include <chrono>
#include <string>
#include <vector>

struct RunResult {
    int Status = -1;   // exit status; -1 when killed by a signal
    std::string Out;   // stdout
    std::string Err;   // stderr
    std::chrono::milliseconds Elapsed{0};
    bool TimedOut = false;   // killed for running past its limit
};

// Runs `argv` to its end with stdin from /dev/null and `env` added to the environment. With a
// `limit` the program is killed once it has run that long, so a hang fails the test instead of
// stalling it.
RunResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                     std::chrono::milliseconds limit = std::chrono::milliseconds::zero());

// A signal sent to the process once its stdout or stderr holds `Text` (as a user presses Ctrl-C
// on seeing it).
struct SignalAt {
    std::string Text;
    int Signal = 0;
};
RunResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     std::chrono::milliseconds limit, const SignalAt& signalAt);

// A background process whose first stdout line is read at start; stopped with SIGTERM (the
// simulator saves its flash and exits cleanly) by Stop or when destroyed.
class BackgroundProcess {
public:
    explicit BackgroundProcess(const std::vector<std::string>& argv);
    ~BackgroundProcess();
    const std::string& FirstLine() const { return firstLine_; }
    // Waits for the next line the process prints (empty when it has ended).
    std::string NextLine();
    // Asks the process to end and waits for it; its exit status (-1: killed by a signal).
    int Stop();
    // Sends `signal` (board-sim: SIGUSR1 plugs the board in, SIGUSR2 pulls it out).
    void Signal(int signal) const;

private:
    int pid_ = -1;
    int out_ = -1;
    std::string firstLine_;
};
