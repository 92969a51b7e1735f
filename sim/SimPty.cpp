#include "sim/SimPty.h"

#include "serial/Termios2.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {
namespace {

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

uint32_t RateOfSpeed(speed_t speed)
{
    switch (speed) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 0;
    }
}

}   // namespace

bool TSimPty::Open(std::string& error)
{
    Close();
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        error = SystemError("posix_openpt");
        return false;
    }
    char name[128] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        error = SystemError("pseudo-terminal");
        ::close(master);
        return false;
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = SystemError(name);
        ::close(master);
        return false;
    }
    // Raw from the start, so a program that opens the port before setting it loses nothing to
    // echo or line editing.
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    master_ = master;
    slave_ = slave;
    slavePath_ = name;
    return true;
}

void TSimPty::Close()
{
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
}

uint32_t TSimPty::LineRate() const
{
    if (slave_ < 0) return 0;
    termios t{};
    if (tcgetattr(slave_, &t) != 0) return 0;
    uint32_t rate = RateOfSpeed(cfgetospeed(&t));
    if (rate == 0 && !ReadOutputRate(slave_, rate)) return 0;
    return rate;
}

bool PointLink(const std::string& link, const std::string& target, std::string& error)
{
    std::string temp = link + ".new";
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), link.c_str()) != 0) {
        error = SystemError(link.c_str());
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

void RemoveLink(const std::string& link, const std::string& target)
{
    char buffer[512] = {};
    ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n > 0 && target == std::string(buffer, static_cast<size_t>(n))) ::unlink(link.c_str());
}

}   // namespace sim
