// Two-wire bus on a serial port's modem lines: data is DTR, clock is RTS. Only the steps that
// bring the bus to idle; harmless on a closed port.
#pragma once

#include <cstdint>

class TComPort;

class TTwoWireBus {
public:
    explicit TTwoWireBus(TComPort& port);
    virtual ~TTwoWireBus() = default;
    void Init();
    void SetSda(int level);
    void SetScl(int level);
    void Stop();
    void ClockPulses(int32_t count);

private:
    TComPort& port_;
};
