#include "cli/RunLog.h"

#include <fcntl.h>
#include <unistd.h>

TRunLog::TRunLog(const std::string& path) : fd_(open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644)) {}

std::string HostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}
