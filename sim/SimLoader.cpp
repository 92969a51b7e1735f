#include "sim/SimLoader.h"

namespace sim {
namespace {

constexpr uint32_t LoaderRates[5] = {19200, 28800, 38400, 57600, 115200};
constexpr int ClockCountMax = 16;

uint32_t FlashAddressOf(const std::vector<uint8_t>& request)
{
    return static_cast<uint32_t>(request[1]) << 16 | static_cast<uint32_t>(request[2]) << 8 | request[3];
}

}   // namespace

bool TSimLoader::Handle(const std::vector<uint8_t>& request, uint64_t tick, SimReply& reply)
{
    reply = SimReply{};
    if (request.empty()) return false;
    switch (request[0]) {
    case 0xA9: return SetBaud(request, reply);
    case 0xA0:
        if (request.size() != 9) return false;
        reply = TextReply("CONOK");
        return true;
    case 0xA2: return ReadClock(request, tick, reply);
    case 0xA3: return WriteClock(request, tick, reply);
    case 0xA5:
    case 0xA7: return ReadFlash(request, reply);
    case 0xA6: return WriteFlash(request, reply);
    default: return false;
    }
}

bool TSimLoader::SetBaud(const std::vector<uint8_t>& request, SimReply& reply)
{
    if (request.size() != 2 || request[1] > 4) return false;
    pendingBaud_ = LoaderRates[request[1]];
    reply = TextReply("BAUOK");
    return true;
}

void TSimLoader::ApplyPendingBaud()
{
    if (pendingBaud_ != 0) baud_ = pendingBaud_;
    pendingBaud_ = 0;
}

bool TSimLoader::ReadClock(const std::vector<uint8_t>& request, uint64_t tick, SimReply& reply)
{
    if (request.size() != 8) return false;
    int count = request[2];
    if (count < 1 || count > ClockCountMax) return false;
    return rtc_.Read(request[1], count, tick, reply.Payload);
}

bool TSimLoader::WriteClock(const std::vector<uint8_t>& request, uint64_t tick, SimReply& reply)
{
    // The count is the packet's own length: register byte, then 1..16 data bytes.
    if (request.size() < 3 || request.size() > 2 + ClockCountMax) return false;
    std::vector<uint8_t> data(request.begin() + 2, request.end());
    if (!rtc_.Write(request[1], data, tick)) return false;
    reply = TextReply("CLKOK");
    return true;
}

bool TSimLoader::ReadFlash(const std::vector<uint8_t>& request, SimReply& reply)
{
    if (request.size() != 6) return false;
    uint32_t address = FlashAddressOf(request), count = request[5];
    // No packet can carry an empty payload, so a count of 0 has nothing to answer with.
    if (count == 0 || count > FlashChunkMax) return false;
    if (request[0] == 0xA5) return flash_.ReadPaged(address, count, reply.Payload);
    return flash_.ReadLinear(address, count, reply.Payload);
}

bool TSimLoader::WriteFlash(const std::vector<uint8_t>& request, SimReply& reply)
{
    if (request.size() < 5 || request.size() > 5 + FlashChunkMax) return false;
    std::vector<uint8_t> data(request.begin() + 5, request.end());
    if (!flash_.WritePaged(FlashAddressOf(request), data)) return false;
    reply = TextReply("FLHOK");
    return true;
}

}   // namespace sim
