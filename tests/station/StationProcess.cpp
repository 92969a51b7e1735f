#include "tests/station/StationProcess.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

TStationProcess::TStationProcess(const std::string& command)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(fds[1], STDOUT_FILENO);
        int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
        dup2(null, STDIN_FILENO);
        execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
}

TStationProcess::~TStationProcess()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        Wait();
    }
    if (out_ >= 0) close(out_);
}

std::optional<std::string> TStationProcess::NextLine(std::chrono::milliseconds limit)
{
    auto deadline = Steady::now() + limit;
    for (;;) {
        if (size_t end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now());
        if (out_ < 0 || left.count() <= 0) return std::nullopt;
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        ssize_t n = read(out_, buffer, sizeof buffer);
        if (n <= 0) {
            close(out_);
            out_ = -1;
            continue;
        }
        pending_.append(buffer, static_cast<size_t>(n));
    }
}

std::optional<JsonObject> TStationProcess::NextEvent(std::chrono::milliseconds limit)
{
    auto deadline = Steady::now() + limit;
    while (Steady::now() < deadline) {
        auto line = NextLine(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()));
        if (!line) return std::nullopt;
        if (auto event = ParseJsonObject(*line)) return event;
    }
    return std::nullopt;
}

void TStationProcess::Signal(int signal) const
{
    if (pid_ > 0) kill(pid_, signal);
}

int TStationProcess::Wait(std::string* rest)
{
    while (auto line = NextLine(std::chrono::seconds(60)))
        if (rest) *rest += *line + "\n";
    int status = 0;
    if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
