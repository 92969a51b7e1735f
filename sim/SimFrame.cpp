#include "sim/SimFrame.h"

#include <algorithm>
#include <cstdint>

namespace sim {

void FrameSums(const uint8_t* data, size_t count, uint8_t& sumA, uint8_t& sumB)
{
    unsigned a = 0, b = 0;
    for (size_t i = 0; i < count; ++i) {
        unsigned v = data[i];
        unsigned k = i % 8;
        a += v;
        b += k == 0 ? v : ((v >> k) | (v << (8 - k))) & 0xFF;
    }
    sumA = static_cast<uint8_t>(a);
    sumB = static_cast<uint8_t>(b);
}

std::vector<uint8_t> BuildFrame(const std::vector<uint8_t>& payload)
{
    size_t n = std::min(payload.size(), MaxFramePayload);
    uint8_t a = 0, b = 0;
    FrameSums(payload.data(), n, a, b);
    std::vector<uint8_t> frame(n + 3);
    frame[0] = static_cast<uint8_t>(n + 3);
    frame[1] = a;
    frame[2] = b;
    std::copy_n(payload.begin(), n, frame.begin() + 3);
    return frame;
}

TLineReceiver::TLineReceiver(uint64_t gapTicks, uint64_t quietTicks) : gap_(gapTicks), quiet_(quietTicks) {}

void TLineReceiver::Reset()
{
    frame_.clear();
    expected_ = 0;
    run_ = 0;
    burst_ = false;
    burstCount_ = 0;
}

void TLineReceiver::StartFrame(uint8_t byte, uint32_t baud, uint64_t tick)
{
    frame_.assign(1, byte);
    // A length below 4 can hold no payload; it still takes its bytes (at least the one) off the line.
    expected_ = std::max<size_t>(byte, 1);
    frameBaud_ = baud;
    frameStart_ = tick;
    run_ = byte == BurstByte ? 1 : 0;
}

void TLineReceiver::FinishFrame(uint64_t tick, std::vector<LineEvent>& events)
{
    LineEvent e;
    e.What = LineEvent::Frame;
    e.Baud = frameBaud_;
    e.Tick = tick;
    e.FirstTick = frameStart_;
    if (frame_.size() > 3) e.Payload.assign(frame_.begin() + 3, frame_.end());
    if (frame_.size() == expected_ && frame_.size() > 3) {
        uint8_t a = 0, b = 0;
        FrameSums(e.Payload.data(), e.Payload.size(), a, b);
        e.Valid = a == frame_[1] && b == frame_[2];
    }
    events.push_back(std::move(e));
    frame_.clear();
    expected_ = 0;
    run_ = 0;
}

void TLineReceiver::StartBurst(uint32_t baud, uint64_t tick, std::vector<LineEvent>& events)
{
    burst_ = true;
    burstCount_ = run_;
    burstBaud_ = baud;
    burstStart_ = frameStart_;
    frame_.clear();
    expected_ = 0;
    run_ = 0;
    LineEvent e;
    e.What = LineEvent::BurstStart;
    e.Baud = baud;
    e.Tick = tick;
    e.FirstTick = burstStart_;
    events.push_back(std::move(e));
}

void TLineReceiver::Feed(uint8_t byte, uint32_t baud, uint64_t tick, std::vector<LineEvent>& events)
{
    Poll(tick, events);
    lastByte_ = tick;
    if (burst_) {
        ++burstCount_;
        return;
    }
    if (expected_ == 0) {
        StartFrame(byte, baud, tick);
    } else {
        frame_.push_back(byte);
        if (baud != frameBaud_) frameBaud_ = 0;
        run_ = (run_ > 0 && byte == BurstByte) ? run_ + 1 : 0;
    }
    if (run_ >= BurstThreshold) {
        StartBurst(baud, tick, events);
        return;
    }
    if (frame_.size() >= expected_) FinishFrame(tick, events);
}

void TLineReceiver::Swallow(size_t count, uint64_t lastTick)
{
    burstCount_ += count;
    lastByte_ = lastTick;
}

void TLineReceiver::Poll(uint64_t tick, std::vector<LineEvent>& events)
{
    if (burst_ && tick >= lastByte_ + quiet_) {
        LineEvent e;
        e.What = LineEvent::BurstEnd;
        e.Count = burstCount_;
        e.Baud = burstBaud_;
        e.Tick = lastByte_;
        e.FirstTick = burstStart_;
        events.push_back(std::move(e));
        burst_ = false;
        burstCount_ = 0;
    }
    if (expected_ > 0 && tick >= frameStart_ + gap_) FinishFrame(lastByte_, events);
}

bool TLineReceiver::NextDeadline(uint64_t& tick) const
{
    if (burst_) {
        tick = lastByte_ + quiet_;
        return true;
    }
    if (expected_ > 0) {
        tick = frameStart_ + gap_;
        return true;
    }
    return false;
}

size_t TLineReceiver::BytesToNextEvent(uint8_t next) const
{
    if (burst_) return SIZE_MAX;
    if (expected_ == 0) {
        // `next` opens a frame; a run of 0x5C can make a burst only from a frame's start.
        size_t toEnd = std::max<size_t>(next, 1);
        return next == BurstByte ? std::min(toEnd, BurstThreshold) : toEnd;
    }
    size_t toEnd = expected_ - std::min(expected_, frame_.size());
    return std::max<size_t>(1, run_ > 0 ? std::min(toEnd, BurstThreshold - run_) : toEnd);
}

}   // namespace sim
