// A USB serial adapter holds each short reply for its latency timer (16 ms on an FTDI chip by
// default) before it hands it on: with one acknowledged exchange per 32-byte block, that is most of
// a transfer's time. After opening a port the driver is asked for low latency where it allows it,
// and the timer the adapter is left with is read, so that a slow one can be said with its cost.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// What the adapter behind a port holds a reply for, as found after the low-latency request.
class TAdapterLatency {
public:
    TAdapterLatency() = default;
    TAdapterLatency(int32_t timerMs, std::string setting)
        : known_(true), timerMs_(timerMs), setting_(std::move(setting))
    {
    }

    bool Known() const { return known_; }   // the adapter has a timer that could be read
    int32_t TimerMs() const { return timerMs_; }
    // Where the timer is set: the sysfs file, or the registry key of the device's parameters.
    const std::string& Setting() const { return setting_; }
    // A timer above 1 ms costs every exchange that much.
    bool Slow() const { return known_ && timerMs_ > 1; }

private:
    bool known_ = false;
    int32_t timerMs_ = 0;
    std::string setting_;
};

// What the Linux step touches, replaceable by tests: the driver's low-latency request on the open
// descriptor (TIOCGSERIAL/TIOCSSERIAL with ASYNC_LOW_LATENCY; false where the driver refuses, as a
// pseudo-terminal or most built-in UARTs do) and the root of sysfs.
struct TLatencySystem {
    std::function<bool(int fd)> RequestLowLatency;
    std::string SysRoot = "/sys";
};
TLatencySystem RealLatencySystem();

// Linux: asks the driver of the open `fd` (the device `device`, a link to it allowed) for low
// latency, then reads the adapter's latency_timer under `system.SysRoot`: the tty's device
// (class/tty/ttyUSB0/device/latency_timer), else its parent, the USB interface. A port with neither
// is left as it is: nothing Known.
TAdapterLatency LowerLatencyLinux(int fd, const std::string& device, const TLatencySystem& system);

// Windows: the FTDI driver's LatencyTimer among the registry parameters of the device whose
// PortName is `port` ("COM5"); nothing Known for a port of another driver. Read only: changing it
// needs administrator rights.
TAdapterLatency FtdiLatencyWin32(const std::string& port);

// What a slow adapter costs on a job of `exchanges` acknowledged replies, and how to lower its
// timer (the platform's way); empty when the adapter is not slow.
std::string SlowAdapterText(const std::string& port, const TAdapterLatency& latency, int32_t exchanges);
