#include "tests/cli/Processes.h"

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Forks `argv` with stdout on a pipe; returns the pid and the pipe's read end.
int Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int& out)
{
    int fds[2];
    if (pipe(fds) != 0) return -1;
    int pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        int null = open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        close(fds[0]);
        close(fds[1]);
        for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    out = fds[0];
    return pid;
}

int ExitStatus(int pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

RunResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     std::chrono::milliseconds limit)
{
    using Steady = std::chrono::steady_clock;
    RunResult result;
    const Steady::time_point start = Steady::now();
    int out = -1;
    int pid = Spawn(argv, env, out);
    if (pid < 0) return result;
    char buf[4096];
    for (;;) {
        int wait = -1;
        if (limit > limit.zero()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(start + limit - Steady::now());
            if (left <= left.zero()) {
                result.TimedOut = true;
                kill(pid, SIGKILL);
                break;
            }
            wait = static_cast<int>(left.count());
        }
        pollfd p{out, POLLIN, 0};
        if (poll(&p, 1, wait) <= 0) continue;
        ssize_t n = read(out, buf, sizeof buf);
        if (n <= 0) break;
        result.Out.append(buf, static_cast<size_t>(n));
    }
    close(out);
    result.Status = ExitStatus(pid);
    result.Elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start);
    return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv)
{
    pid_ = Spawn(argv, {}, out_);
    firstLine_ = NextLine();
}

std::string BackgroundProcess::NextLine()
{
    std::string line;
    char c;
    while (pid_ > 0 && read(out_, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

BackgroundProcess::~BackgroundProcess() { Stop(); }

int BackgroundProcess::Stop()
{
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = ExitStatus(pid_);
    close(out_);
    pid_ = -1;
    return status;
}
