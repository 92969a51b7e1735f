#include "tests/cli/Processes.h"

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// The environment with `extra` (NAME=VALUE) added, replacing a variable of the same name.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& extra)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string& x : extra) replaced = replaced || x.compare(0, name.size(), name) == 0;
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Forks `argv` with stdout on a pipe, and stderr on another when `err` is given; returns the pid
// and the pipes' read ends. Everything the child needs is made before the fork: tests fork from
// several threads, and a child of a threaded process must not allocate.
int Spawn(std::vector<std::string> argv, const std::vector<std::string>& extraEnv, int& out, int* err = nullptr)
{
    std::vector<std::string> env = EnvironmentWith(extraEnv);
    std::vector<char*> args = Pointers(argv), envp = Pointers(env);
    int fds[2], errFds[2] = {-1, -1};
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    if (err && pipe2(errFds, O_CLOEXEC) != 0) {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    int pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        if (err) dup2(errFds[1], STDERR_FILENO);
        int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
        dup2(null, STDIN_FILENO);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(fds[1]);
    if (err) close(errFds[1]);
    if (pid < 0) {
        close(fds[0]);
        if (err) close(errFds[0]);
    }
    out = fds[0];
    if (err) *err = errFds[0];
    return pid;
}

int ExitStatus(int pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}   // namespace

RunResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     std::chrono::milliseconds limit)
{
    return RunProcess(argv, env, limit, {});
}

RunResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     std::chrono::milliseconds limit, const SignalAt& signalAt)
{
    using Steady = std::chrono::steady_clock;
    RunResult result;
    const Steady::time_point start = Steady::now();
    int out = -1, err = -1;
    int pid = Spawn(argv, env, out, &err);
    if (pid < 0) return result;
    bool signalled = signalAt.Text.empty();
    pollfd p[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    std::string* sinks[2] = {&result.Out, &result.Err};
    char buf[4096];
    while (p[0].fd >= 0 || p[1].fd >= 0) {
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
        if (poll(p, 2, wait) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (p[i].fd < 0 || p[i].revents == 0) continue;
            ssize_t n = read(p[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(p[i].fd);
                p[i].fd = -1;   // poll skips it
                continue;
            }
            sinks[i]->append(buf, static_cast<size_t>(n));
        }
        if (!signalled && (result.Out.find(signalAt.Text) != std::string::npos ||
                           result.Err.find(signalAt.Text) != std::string::npos)) {
            kill(pid, signalAt.Signal);
            signalled = true;
        }
    }
    for (pollfd& f : p)
        if (f.fd >= 0) close(f.fd);
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

void BackgroundProcess::Signal(int signal) const
{
    if (pid_ > 0) kill(pid_, signal);
}

int BackgroundProcess::Stop()
{
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = ExitStatus(pid_);
    close(out_);
    pid_ = -1;
    return status;
}
