#include "tests/cli/Processes.h"

#include <cstdlib>
#include <fcntl.h>
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
} // namespace

RunResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env)
{
    RunResult result;
    int out = -1;
    int pid = Spawn(argv, env, out);
    if (pid < 0) return result;
    char buf[4096];
    ssize_t n;
    while ((n = read(out, buf, sizeof buf)) > 0) result.Out.append(buf, static_cast<size_t>(n));
    close(out);
    int status = 0;
    waitpid(pid, &status, 0);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv)
{
    pid_ = Spawn(argv, {}, out_);
    char c;
    while (pid_ > 0 && read(out_, &c, 1) == 1 && c != '\n') firstLine_ += c;
}

BackgroundProcess::~BackgroundProcess()
{
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    close(out_);
}
