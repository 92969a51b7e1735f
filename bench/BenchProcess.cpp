#include "BenchProcess.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

pid_t Spawn(const std::vector<std::string>& argv, const std::string& out)
{
    std::fflush(stdout);   // or the child would print what is still buffered here
    pid_t pid = fork();
    if (pid == 0) {
        FILE* f = std::freopen(out.c_str(), "w", stdout);
        (void)f;
        f = std::freopen("/dev/null", "r", stdin);
        (void)f;
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

Usage Run(const std::vector<std::string>& argv, const std::string& out)
{
    auto start = std::chrono::steady_clock::now();
    pid_t pid = Spawn(argv, out);
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    Usage u;
    u.WallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    u.CpuSeconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                   static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    u.PeakMb = static_cast<double>(ru.ru_maxrss) / 1024.0;
    u.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return u;
}
