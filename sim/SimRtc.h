// The loader's real-time clock: eight registers in packed BCD (seconds, minutes, hours, day of
// week, day, month, year, control) over a running time, plus battery-backed bytes from register 8
// on, like the clock chips such boards carry.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

constexpr int RtcRegisterCount = 64;

class TSimRtc {
public:
    TSimRtc();
    // A valid date 2000..2099; the clock runs on from it. False (nothing changes) otherwise.
    bool Set(int year, int month, int day, int hour, int minute, int second, uint64_t tick);
    // The hours register's form when read: bit 6 set, hour 1-12 in bits 0-4, afternoon in bit 5.
    // Writing register 2 chooses the form by its bit 6, as the chip does.
    void SetTwelveHour(bool on) { twelveHour_ = on; }
    bool TwelveHour() const { return twelveHour_; }

    // Registers first .. first+count-1 as they read at `tick`; false when past the last register.
    bool Read(int first, int count, uint64_t tick, std::vector<uint8_t>& out) const;
    // Stores the bytes from register `first` on; a written time runs on from `tick`.
    bool Write(int first, const std::vector<uint8_t>& data, uint64_t tick);

private:
    void Encode(uint64_t tick, uint8_t regs[8]) const;
    int64_t SecondsAt(uint64_t tick) const;

    int64_t base_ = 0;   // seconds since 2000-01-01 00:00:00 at baseTick_
    uint64_t baseTick_ = 0;
    bool running_ = true;      // false after a write that made no valid time
    uint8_t frozen_[8] = {};   // the registers as written while not running
    bool twelveHour_ = false;
    uint8_t control_ = 0;
    uint8_t ram_[RtcRegisterCount] = {};
};

}   // namespace sim
