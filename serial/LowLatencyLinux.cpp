// The low-latency step on Linux: the driver's low-latency flag, then the adapter's latency_timer
// in sysfs (ftdi_sio sets its timer to 1 ms when the flag is set; other drivers have no timer).
#include "serial/LowLatencyPlatform.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace fs = std::filesystem;

namespace {
bool RequestDriverLowLatency(int fd)
{
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0) return false;
    if (info.flags & ASYNC_LOW_LATENCY) return true;
    info.flags |= ASYNC_LOW_LATENCY;
    return ioctl(fd, TIOCSSERIAL, &info) == 0;
}

bool ReadTimer(const fs::path& file, int32_t& ms)
{
    std::ifstream in(file);
    std::string text;
    if (!in || !std::getline(in, text)) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ms);
    return error == std::errc() && ms >= 0;
}
}   // namespace

TLatencySystem RealLatencySystem() { return {RequestDriverLowLatency, "/sys"}; }

TAdapterLatency LowerLatencyLinux(int fd, const std::string& device, const TLatencySystem& system)
{
    if (system.RequestLowLatency) system.RequestLowLatency(fd);   // a refusal is the port's own business
    std::error_code error;
    fs::path real = fs::weakly_canonical(device, error);
    const std::string name = (error ? fs::path(device) : real).filename().string();
    const fs::path tty = fs::path(system.SysRoot) / "class" / "tty" / name / "device";
    for (const fs::path& file : {tty / "latency_timer", tty / ".." / "latency_timer"}) {
        int32_t ms = 0;
        if (ReadTimer(file, ms)) return {ms, file.lexically_normal().string()};
    }
    return {};
}

std::string LatencyAdvice(const TAdapterLatency& latency)
{
    return "echo 1 | sudo tee " + latency.Setting() +
           "; чтобы так было всегда, установите правило udev из пакета flasher (60-flasher-serial.rules) или "
           "добавьте своё: SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\".";
}
