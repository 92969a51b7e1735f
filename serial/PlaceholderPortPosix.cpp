#include "serial/PlaceholderPort.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {
// Linux gives the slaves of /dev/ptmx character majors 136..143 (UNIX98_PTY_SLAVE_MAJOR onwards).
constexpr unsigned FirstPtySlaveMajor = 136;
constexpr unsigned LastPtySlaveMajor = 143;
} // namespace

// Decided from the device node alone: nothing is opened, so nothing can reach the device.
bool PortTakesPlaceholder(const std::string& device)
{
    struct stat info {};
    if (stat(device.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return false;
    unsigned majorNumber = major(info.st_rdev);
    return majorNumber >= FirstPtySlaveMajor && majorNumber <= LastPtySlaveMajor;
}
