#include "cli/RunLog.h"

#include <cerrno>
#include <ctime>
#include <unistd.h>

TRunLog::~TRunLog()
{
    if (fd_ >= 0) close(fd_);
}

bool TRunLog::Append(const std::string& line)
{
    // Never split: a second write could land after another writer's line.
    ssize_t written;
    do written = write(fd_, line.data(), line.size());
    while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(line.size());
}

std::string UtcTimestamp()
{
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}
