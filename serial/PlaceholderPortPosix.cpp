#include "serial/PlaceholderPort.h"

#include <cerrno>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {
// Linux gives the slaves of /dev/ptmx character majors 136..143 (UNIX98_PTY_SLAVE_MAJOR onwards).
constexpr unsigned FirstPtySlaveMajor = 136;
constexpr unsigned LastPtySlaveMajor = 143;
}   // namespace

// Decided from the device node alone: nothing is opened, so nothing can reach the device. A name
// with nothing behind it (no port chosen at all, too) can receive nothing either; opening it reports the port error, which is
// what the user needs to hear.
bool PortTakesPlaceholder(const std::string& device)
{
    struct stat info {};
    if (stat(device.c_str(), &info) != 0) return errno == ENOENT;
    if (!S_ISCHR(info.st_mode)) return false;
    unsigned majorNumber = major(info.st_rdev);
    return majorNumber >= FirstPtySlaveMajor && majorNumber <= LastPtySlaveMajor;
}
