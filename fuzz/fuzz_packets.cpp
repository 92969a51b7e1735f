// The packet receiver. A byte stream, cut into reads at any points, is judged frame by frame;
// after each read the packet handed out, if any, must be a real frame of the stream: the latest
// frame that read completed, with its length and both checksums right. A valid latest frame must
// not be lost either.
//
// Input: one byte N (the number of cuts, up to 31), N bytes with the lengths of the first N
// reads, then the stream; the last read takes the rest.
#include "fuzz/FuzzSupport.h"
#include "serial/Serial.h"
#include "serial/SerialPlatform.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace {
// A frame as the line carries it: its first byte tells its length L (length byte and sums
// included); a first byte below 1 still takes that one byte.
struct TFrame {
    size_t End = 0;                                // one past its last byte in the stream
    std::optional<std::vector<uint8_t>> Payload;   // set when length and sums are right
};

std::vector<TFrame> FramesOf(const uint8_t* stream, size_t size)
{
    std::vector<TFrame> frames;
    for (size_t start = 0; start < size;) {
        const size_t length = std::max<size_t>(stream[start], 1);
        if (start + length > size) break;   // unfinished at the end of the stream
        TFrame frame{start + length, std::nullopt};
        if (length > 3) {
            uint8_t sumA = 0, sumB = 0;
            Checksums(stream + start + 3, static_cast<int32_t>(length - 3), sumA, sumB);
            if (sumA == stream[start + 1] && sumB == stream[start + 2])
                frame.Payload.emplace(stream + start + 3, stream + start + length);
        }
        frames.push_back(std::move(frame));
        start += length;
    }
    return frames;
}

// The latest frame completed within stream bytes [from, to), if any.
const TFrame* LatestFrame(const std::vector<TFrame>& frames, size_t from, size_t to)
{
    const TFrame* latest = nullptr;
    for (const TFrame& f : frames)
        if (f.End > from && f.End <= to) latest = &f;
    return latest;
}

TComPort& ClosedPort()
{
    static TComPort port(false, false);
    return port;
}
}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const size_t cuts = std::min<size_t>(data[0] % 32, size - 1);
    const uint8_t* lengths = data + 1;
    const uint8_t* stream = data + 1 + cuts;
    const size_t streamSize = size - 1 - cuts;
    const std::vector<TFrame> frames = FramesOf(stream, streamSize);

    auto receiver = std::make_unique<TRecThread>(ClosedPort());
    std::vector<uint8_t> packet(512);
    for (size_t read = 0, from = 0; read <= cuts; ++read) {
        const size_t to = read < cuts ? std::min(streamSize, from + lengths[read]) : streamSize;
        receiver->Consume(stream + from, to - from);
        int32_t count = -1;
        const bool handedOut = receiver->Buffer.TakePacket(packet.data(), static_cast<int32_t>(packet.size()), count);
        const TFrame* latest = LatestFrame(frames, from, to);
        const bool expected = latest && latest->Payload;
        FUZZ_CHECK(handedOut == expected);
        if (handedOut)
            FUZZ_CHECK(
                std::equal(packet.begin(), packet.begin() + count, latest->Payload->begin(), latest->Payload->end()));
        from = to;
    }
    return 0;
}
