// Running the real executables for end-to-end tests.
#pragma once

#include <string>
#include <vector>

struct RunResult {
    int Status = -1;
    std::string Out;
};

// Runs `argv` to its end with stdin from /dev/null and `env` added to the environment.
RunResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});

// A background process whose first stdout line is read at start; killed (SIGTERM) when destroyed.
class BackgroundProcess {
public:
    explicit BackgroundProcess(const std::vector<std::string>& argv);
    ~BackgroundProcess();
    const std::string& FirstLine() const { return firstLine_; }

private:
    int pid_ = -1;
    int out_ = -1;
    std::string firstLine_;
};
