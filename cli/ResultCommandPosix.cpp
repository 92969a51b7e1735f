#include "cli/ResultCommand.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {
double Now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Writes what the command takes of `input`; a command that does not read it is no fault.
void Feed(int fd, const std::string& input)
{
    size_t done = 0;
    while (done < input.size()) {
        ssize_t n = ::write(fd, input.data() + done, input.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
}
}   // namespace

TCommandRun RunCommandWithInput(const std::string& command, const std::string& input, double limitSeconds)
{
    TCommandRun run;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        run.Error = std::strerror(errno);
        return run;
    }
    pid_t pid = ::fork();
    if (pid < 0) {
        run.Error = std::strerror(errno);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return run;
    }
    if (pid == 0) {
        // A group of its own: at the time limit the shell's children go with it.
        ::setpgid(0, 0);
        ::dup2(pipeFds[0], STDIN_FILENO);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    run.Started = true;
    ::setpgid(pid, pid);   // as the child does: whichever runs first
    ::close(pipeFds[0]);
    // A command that exits without reading must not end this program with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    Feed(pipeFds[1], input);
    double deadline = Now() + limitSeconds;
    int status = 0;
    for (;;) {
        pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) break;
        if (ended < 0 && errno != EINTR) return run;
        if (Now() >= deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            run.TimedOut = true;
            return run;
        }
        ::poll(nullptr, 0, 10);   // the command's run, not the station's idle time
    }
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
