// The board's loader: line rate switch, handshake, clock registers and flash chunks.
#pragma once

#include "sim/SimFlash.h"
#include "sim/SimReply.h"
#include "sim/SimRtc.h"

#include <cstdint>
#include <vector>

namespace sim {

constexpr uint32_t LoaderDefaultBaud = 38400;
constexpr size_t FlashChunkMax = 32;

class TSimLoader {
public:
    static bool IsLoaderCommand(uint8_t code) { return code >= 0xA0 && code <= 0xA9; }

    // False when the request gets no reply (unknown code, wrong length, count or address out of
    // range). `tick` is the time the request arrived, for the running clock.
    bool Handle(const std::vector<uint8_t>& request, uint64_t tick, SimReply& reply);
    // After "BAUOK" has gone out at the old rate.
    void ApplyPendingBaud();
    void Restart()
    {
        baud_ = LoaderDefaultBaud;
        pendingBaud_ = 0;
    }
    uint32_t Baud() const { return baud_; }

    TSimRtc& Rtc() { return rtc_; }
    TSimFlash& Flash() { return flash_; }
    const TSimFlash& Flash() const { return flash_; }

private:
    bool SetBaud(const std::vector<uint8_t>& request, SimReply& reply);
    bool ReadClock(const std::vector<uint8_t>& request, uint64_t tick, SimReply& reply);
    bool WriteClock(const std::vector<uint8_t>& request, uint64_t tick, SimReply& reply);
    bool ReadFlash(const std::vector<uint8_t>& request, SimReply& reply);
    bool WriteFlash(const std::vector<uint8_t>& request, SimReply& reply);

    uint32_t baud_ = LoaderDefaultBaud;
    uint32_t pendingBaud_ = 0;
    TSimRtc rtc_;
    TSimFlash flash_;
};

}   // namespace sim
