// The board's side of the line: frame sums, frame building, and a receiver that turns the bytes
// it hears into frames and 0x5C break-in bursts, the way the board's own receiver does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

constexpr size_t MaxFramePayload = 252;
constexpr size_t BurstThreshold = 64;   // consecutive 0x5C outside a frame that make a burst
constexpr uint8_t BurstByte = 0x5C;

// The line's two sums: SumA plain, SumB of each byte rotated right by its position mod 8.
// The board keeps its own copy so that a fault in the program's sums cannot hide behind it.
void FrameSums(const uint8_t* data, size_t count, uint8_t& sumA, uint8_t& sumB);

// L, SumA, SumB, payload; a payload longer than 252 bytes is cut.
std::vector<uint8_t> BuildFrame(const std::vector<uint8_t>& payload);

struct LineEvent {
    enum Kind { Frame, BurstStart, BurstEnd } What = Frame;
    bool Valid = false;             // Frame: length and both sums right, payload not empty
    std::vector<uint8_t> Payload;   // Frame: the bytes after the header (all that arrived)
    size_t Count = 0;               // BurstEnd: bytes the burst swallowed
    uint32_t Baud = 0;              // line rate of the bytes (0 when a frame mixed rates)
    uint64_t Tick = 0;              // when the last byte arrived
    uint64_t FirstTick = 0;         // when the first byte arrived
};

// Frames start at a length byte when no frame is open; one that does not complete within the
// gap is dropped. Times are in whatever unit the caller counts in (ticks, microseconds), the
// same for bytes, gap and quiet. A run of BurstThreshold 0x5C bytes starting where a frame would start is a
// burst: from then on every byte is swallowed until the line has been quiet for `quiet` ticks.
class TLineReceiver {
public:
    TLineReceiver(uint64_t gapTicks, uint64_t quietTicks);
    void SetGap(uint64_t gapTicks) { gap_ = gapTicks; }
    void Feed(uint8_t byte, uint32_t baud, uint64_t tick, std::vector<LineEvent>& events);
    // Inside a burst: `count` more bytes, the last of them at `lastTick` (no quiet between them).
    void Swallow(size_t count, uint64_t lastTick);
    // Ends a frame whose gap has passed and a burst whose quiet has come.
    void Poll(uint64_t tick, std::vector<LineEvent>& events);
    // The next tick at which Poll has something to do; false when nothing is pending.
    bool NextDeadline(uint64_t& tick) const;
    // How many bytes, `next` first, may arrive before one of them can end a frame or start a
    // burst (at least 1); SIZE_MAX inside a burst, whose bytes are only counted. Until then bytes
    // can wait to be fed: nothing they cause depends on when they are fed.
    size_t BytesToNextEvent(uint8_t next) const;
    void Reset();
    bool InBurst() const { return burst_; }

private:
    void StartFrame(uint8_t byte, uint32_t baud, uint64_t tick);
    void FinishFrame(uint64_t tick, std::vector<LineEvent>& events);
    void StartBurst(uint32_t baud, uint64_t tick, std::vector<LineEvent>& events);

    uint64_t gap_;
    const uint64_t quiet_;
    std::vector<uint8_t> frame_;   // bytes of the open frame, length byte first
    size_t expected_ = 0;          // bytes the open frame needs, 0 when none is open
    uint32_t frameBaud_ = 0;
    uint64_t frameStart_ = 0;
    size_t run_ = 0;   // 0x5C run since a frame start; 0 when not counting
    uint64_t burstStart_ = 0;
    bool burst_ = false;
    size_t burstCount_ = 0;
    uint32_t burstBaud_ = 0;
    uint64_t lastByte_ = 0;
};

}   // namespace sim
