// The serial device on POSIX termios: exclusive open, line settings, modem lines, writes, and the
// receive thread that blocks in poll() on the device and on a wake-up pipe.
#include "serial/Clock.h"
#include "serial/Serial.h"
#include "serial/SerialPlatform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

const char* const NoPermissionAdvice =
    "добавьте пользователя в группу dialout (sudo usermod -aG dialout $USER) и войдите в систему заново.";

namespace {
// A write that makes no progress for this long (a device that stopped taking bytes) fails.
constexpr int64_t WriteStallMs = 5000;
// The receive thread runs above normal so that replies are taken at once; refused without
// privilege, which is harmless.
constexpr int ReceiverNice = -10;
// While a thread waits for a packet the receive loop leaves the device to it and looks this often
// whether the wait has ended, to take the device back. Woken at the end of every wait instead, it
// would cost each next exchange some 50 us on a two-core machine.
constexpr int WaitRecheckMs = 50;

struct Speed {
    int32_t baud;
    speed_t code;
};
constexpr Speed StandardSpeeds[] = {
    {1200, B1200},   {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool ApplySpeed(int fd, termios& tio, int32_t baud)
{
    auto standard = std::find_if(std::begin(StandardSpeeds), std::end(StandardSpeeds),
                                 [&](const Speed& s) { return s.baud == baud; });
    if (standard != std::end(StandardSpeeds)) {
        cfsetispeed(&tio, standard->code);
        cfsetospeed(&tio, standard->code);
        return tcsetattr(fd, TCSANOW, &tio) == 0;
    }
    // 28800 has no B constant: set the rest, then the rate through the kernel's termios2.
    return tcsetattr(fd, TCSANOW, &tio) == 0 && SetCustomBaud(fd, baud);
}

// 8 data bits, no parity, two stop bits, no flow control, raw bytes both ways.
bool ConfigureLine(int fd, int32_t baud)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CRTSCTS);
    tio.c_cflag |= CS8 | CSTOPB | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // One byte minimum: a non-blocking read then says EAGAIN when nothing is there (a purge
    // between poll and read) and 0 only when the device has hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return ApplySpeed(fd, tio, baud);
}

// Opens the device so that no other program can hold it at the same time. On failure gives -1
// and the errno whose text the user sees.
int OpenExclusive(const std::string& name, int& error)
{
    // Non-blocking, so that a modem port without carrier does not block the open.
    int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    termios probe{};
    if (tcgetattr(fd, &probe) != 0) {   // not a terminal device
        error = errno;
        close(fd);
        return -1;
    }
    // The lock first: a port we cannot lock belongs to someone else, whose exclusive flag we
    // must not touch. Its own text ("Resource temporarily unavailable") would mislead, so the
    // user reads the busy device's text, as with an exclusive open refused by the kernel.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        error = EBUSY;
        close(fd);
        return -1;
    }
    ioctl(fd, TIOCEXCL);
    return fd;
}

TProblemKind FaultOf(int error)
{
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR: return TProblemKind::Missing;
    case EBUSY:
    case EWOULDBLOCK: return TProblemKind::Busy;
    case EACCES:
    case EPERM: return TProblemKind::NoPermission;
    default: return TProblemKind::Other;
    }
}

// False when the device stalled or hung up; `hungUp` says which.
bool WaitWritable(int fd, bool& hungUp)
{
    pollfd p{fd, POLLOUT, 0};
    int ms = static_cast<int>(Clock::RealDuration(Clock::ReplyTicks(WriteStallMs)).count() / 1000000);
    int r;
    do r = poll(&p, 1, std::max(ms, 1));
    while (r < 0 && errno == EINTR);
    hungUp = r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    return r > 0 && (p.revents & POLLOUT) != 0 && !hungUp;
}

// What a write to a terminal whose device has gone (an adapter pulled, a pty master closed) fails with.
bool DeviceGoneError(int error) { return error == EIO || error == ENXIO || error == ENODEV; }
}   // namespace

// ---- TComPort: the device ----

TComPort::~TComPort()
{
    StopReceiver();
    if (device_->Fd >= 0) tcflush(device_->Fd, TCIOFLUSH);
    CloseDevice();
}

TMaybeProblem TComPort::OpenDevice(const std::string& name)
{
    int error = 0;
    device_->Fd = OpenExclusive(name, error);
    if (device_->Fd >= 0) return std::nullopt;
    return TProblem(FaultOf(error), std::strerror(error));
}

void TComPort::ConfigureDevice(int32_t baud)
{
    ConfigureLine(device_->Fd, baud);   // a refusal is not acted on: the port keeps what the driver took
}

TAdapterLatency TComPort::LowerLatency(const std::string& name)
{
    return LowerLatencyLinux(device_->Fd, name, RealLatencySystem());
}

void TComPort::CloseDevice()
{
    int& fd = device_->Fd;
    if (fd < 0) return;
    // The exclusive flag stays on the terminal while any handle is open (a simulator keeps
    // one), so clear it or our next Open would be refused.
    ioctl(fd, TIOCNXCL);
    close(fd);
    fd = -1;
}

bool TComPort::IsOpen() const { return device_->Fd >= 0; }

void TComPort::Purge()
{
    if (device_->Fd >= 0) tcflush(device_->Fd, TCIOFLUSH);
    if (receiver_) receiver_->Buffer.Clear();
}

// Returns 1 when the device took the rate, 0 otherwise (callers ignore it).
int TComPort::SetBaudRate(int32_t baud)
{
    baud_ = baud;
    if (device_->Fd < 0) return 0;
    termios tio{};
    if (tcgetattr(device_->Fd, &tio) != 0) return 0;
    return ApplySpeed(device_->Fd, tio, baud) ? 1 : 0;
}

// Pseudo-terminals have no modem lines: the ioctl fails there and that is ignored.
void TComPort::SetModemLine(bool dtr, bool on)
{
    int bit = dtr ? TIOCM_DTR : TIOCM_RTS;
    ioctl(device_->Fd, on ? TIOCMBIS : TIOCMBIC, &bit);
}

// Writes until the driver has taken every byte, then waits until they have left, so a raw
// burst is paced by the line and never floods the driver.
bool TComPort::WriteAll(const uint8_t* data, size_t count)
{
    const int fd = device_->Fd;
    size_t done = 0;
    while (done < count) {
        ssize_t n = write(fd, data + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            bool hungUp = false;
            if (!WaitWritable(fd, hungUp)) {
                if (hungUp) gone_ = true;
                return false;
            }
        } else {
            if (n < 0 && DeviceGoneError(errno)) gone_ = true;
            return false;
        }
    }
    tcdrain(fd);
    return true;
}

// ---- TRecThread: the receive loop ----

TRecThread::~TRecThread() { Stop(); }

bool TRecThread::Start(const TComPort::TDevice& device)
{
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    fd_ = device.Fd;
    stopping_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void TRecThread::Stop()
{
    if (thread_.joinable()) {
        stopping_ = true;
        char b = 1;
        while (write(wake_[1], &b, 1) < 0 && errno == EINTR) {}
        thread_.join();
    }
    for (int& end : wake_) {
        if (end >= 0) close(end);
        end = -1;
    }
}

void TRecThread::ReadDevice()
{
    ssize_t n = read(fd_, chunk_, sizeof chunk_);
    if (n > 0) Consume(chunk_, static_cast<size_t>(n));
    else if (n == 0 || (errno != EAGAIN && errno != EINTR))
        DeviceGone();   // 0 bytes: hung up; EIO, ENXIO, ENODEV: the device is no more
}

// Once the device is gone (adapter pulled, pty master closed) poll would report it again and
// again: it is no longer watched, and the loop sleeps on the wake-up pipe until the port closes.
void TRecThread::Run()
{
    pthread_setname_np(pthread_self(), "comport-rx");
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), ReceiverNice);
    while (!stopping_) {
        bool usable = !deviceGone_ && Active;
        bool watch = usable && waiters_ == 0;
        pollfd fds[2] = {{wake_[0], POLLIN, 0}, {watch ? fd_ : -1, POLLIN, 0}};
        if (poll(fds, 2, usable && !watch ? WaitRecheckMs : -1) < 0) {
            if (errno != EINTR) DeviceGone();
            continue;
        }
        if (fds[0].revents != 0) {
            char drain[64];
            while (read(wake_[0], drain, sizeof drain) > 0) {}
        }
        short events = fds[1].revents;
        if (events & POLLIN) {
            std::lock_guard g(readLock_);
            if (waiters_ == 0) ReadDevice();   // else a waiting thread takes them
        } else if (events & (POLLHUP | POLLERR | POLLNVAL)) {
            DeviceGone();
        }
    }
}

void TRecThread::WaitArrival(uint64_t seen, std::chrono::nanoseconds realTimeout)
{
    if (!Active || deviceGone_) {
        WaitSignalled(seen, realTimeout);
        return;
    }
    {
        // The receive loop may have been judging bytes it read before this wait began.
        std::lock_guard g(readLock_);
        if (Arrivals() != seen) return;
    }
    pollfd p{fd_, POLLIN, 0};
    const auto s = std::chrono::duration_cast<std::chrono::seconds>(realTimeout);
    timespec ts{static_cast<time_t>(s.count()), static_cast<long>((realTimeout - s).count())};
    if (ppoll(&p, 1, &ts, nullptr) <= 0) return;
    if (p.revents & POLLIN) {
        std::lock_guard g(readLock_);
        ReadDevice();
    } else {
        DeviceGone();
    }
}
