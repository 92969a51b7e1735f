#include "cli/ResultCommand.h"

#include <cstdio>

TResultCommand::TResultCommand(std::string command, double limitSeconds)
    : command_(std::move(command)), limit_(limitSeconds), thread_([this] { Serve(); })
{
}

TResultCommand::~TResultCommand()
{
    {
        std::lock_guard guard(lock_);
        ending_ = true;
    }
    posted_.notify_all();
    thread_.join();
}

void TResultCommand::Post(const std::string& label, const std::string& json)
{
    {
        std::lock_guard guard(lock_);
        queue_.emplace_back(label, json);
    }
    posted_.notify_all();
}

void TResultCommand::Serve()
{
    std::unique_lock guard(lock_);
    for (;;) {
        posted_.wait(guard, [this] { return ending_ || !queue_.empty(); });
        if (queue_.empty()) return;
        auto [label, json] = std::move(queue_.front());
        queue_.pop_front();
        guard.unlock();
        TCommandRun run = RunCommandWithInput(command_, json, limit_);
        if (!run.Started)
            std::fprintf(stderr, "flasher-cli: команда --on-result для гнезда %s не запущена: %s\n", label.c_str(),
                         run.Error.c_str());
        else if (run.TimedOut)
            std::fprintf(stderr, "flasher-cli: команда --on-result для гнезда %s не уложилась в %g с и остановлена\n",
                         label.c_str(), limit_);
        else if (run.Status != 0)
            std::fprintf(stderr, "flasher-cli: команда --on-result для гнезда %s завершилась с кодом %d\n",
                         label.c_str(), run.Status);
        guard.lock();
    }
}
