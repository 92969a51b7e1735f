#include "BareReplay.h"

#include "sim/SimFrame.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iterator>

namespace {
speed_t SpeedOf(uint32_t baud)
{
    switch (baud) {
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B19200;
    }
}

bool SetLine(int fd, uint32_t baud)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_cflag |= CS8 | CSTOPB | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, SpeedOf(baud));
    cfsetospeed(&t, SpeedOf(baud));
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool WriteFrame(int fd, const std::vector<uint8_t>& payload)
{
    const std::vector<uint8_t> frame = sim::BuildFrame(payload);
    return write(fd, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size());
}

// Reads until one whole frame (its first byte gives its length) is in.
bool ReadFrame(int fd)
{
    uint8_t bytes[512];
    size_t have = 0, want = 1;
    while (have < want) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 3000) <= 0) return false;
        ssize_t n = read(fd, bytes + have, sizeof bytes - have);
        if (n <= 0) return false;
        have += static_cast<size_t>(n);
        want = bytes[0] > 0 ? bytes[0] : 1;
    }
    return true;
}
}   // namespace

double ReplayRequests(const std::string& port, const std::vector<WireRecord>& log)
{
    std::vector<WireRecord> frames;
    std::copy_if(log.begin(), log.end(), std::back_inserter(frames), [](const WireRecord& l) { return !l.Raw; });
    int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    uint32_t rate = 0;
    bool ok = true;
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; ok && i < frames.size(); ++i) {
        const WireRecord& f = frames[i];
        if (!f.FromProgram) continue;
        if (f.Baud != rate) ok = SetLine(fd, rate = f.Baud);
        const bool answered = i + 1 < frames.size() && !frames[i + 1].FromProgram;
        ok = ok && WriteFrame(fd, f.Payload) && (!answered || ReadFrame(fd));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    close(fd);
    return ok ? seconds : -1;
}
