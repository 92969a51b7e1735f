#include "serial/TwoWireBus.h"

#include "serial/Delay.h"
#include "serial/Serial.h"

namespace {
constexpr int32_t Settle = 10;   // microseconds after every line change
constexpr int32_t IdlePulses = 64;
}   // namespace

TTwoWireBus::TTwoWireBus(TComPort& port) : port_(port) { Init(); }

// Both lines low, a stop condition, then clock pulses with data high: the bus is idle and any
// device that was mid-transfer has let go of it.
void TTwoWireBus::Init()
{
    if (!port_.IsOpen()) return;
    SetSda(0);
    SetScl(0);
    Stop();
    ClockPulses(IdlePulses);
}

void TTwoWireBus::SetSda(int level)
{
    port_.SetDtr(level != 0);
    Delay(Settle);
}

void TTwoWireBus::SetScl(int level)
{
    port_.SetRts(level != 0);
    Delay(Settle);
}

// Data rises while the clock is high.
void TTwoWireBus::Stop()
{
    Delay(Settle);
    SetSda(0);
    Delay(Settle);
    SetScl(1);
    Delay(Settle);
    SetSda(1);
    Delay(Settle);
}

void TTwoWireBus::ClockPulses(int32_t count)
{
    Delay(Settle);
    for (int32_t i = 0; i < count; ++i) {
        SetScl(0);
        SetScl(1);
    }
    Delay(Settle);
}
