#include "board/BoardBlocks.h"

#include "board/BoardLink.h"
#include "serial/Clock.h"
#include "serial/Serial.h"
#include "util/Random.h"
#include "util/StrUnit.h"

#include <algorithm>
#include <array>

namespace {
using BlockPayload = std::array<uint8_t, 3 + BlockSize>;
// The two bytes the board expects after the preparation code, where a block has its address.
constexpr int32_t PrepareCode = 0x5E3C;

BlockPayload MakeBlock(uint8_t code, int32_t address, const uint8_t* data)
{
    BlockPayload p;
    p[0] = code;
    p[1] = static_cast<uint8_t>((address >> 8) & 0xFF);
    p[2] = static_cast<uint8_t>(address & 0xFF);
    std::copy(data, data + BlockSize, p.begin() + 3);
    return p;
}

// One block sent until the board acknowledges it, says "BAD", or five attempts ran out. The
// payload stays the same for every attempt; only silence is followed by a pause.
int32_t AcknowledgedExchange(const BlockPayload& payload)
{
    int32_t result = LinkLost;
    for (int32_t attempt = 0; attempt < AckAttempts; ++attempt) {
        BoardPort->SendPacket(payload.data(), static_cast<int32_t>(payload.size()));
        std::string reply;
        bool answered = BoardPort->WaitPacketText(reply, BlockReplyTimeout);
        result = !answered ? LinkLost : reply == "OK!" ? LinkOk : reply == "BAD" ? LinkBad : LinkLost;
        if (!answered) Clock::Sleep(SilencePause);
        if (result != LinkLost) break;
    }
    return result;
}

// 32 bytes from `source` at `offset`; bytes past its end are 0xFF.
std::array<uint8_t, BlockSize> TakeBlock(std::span<const uint8_t> source, size_t offset)
{
    std::array<uint8_t, BlockSize> block;
    block.fill(0xFF);
    if (offset < source.size())
        std::copy_n(source.begin() + offset, std::min<size_t>(BlockSize, source.size() - offset), block.begin());
    return block;
}

int32_t TransferBlocks(uint8_t code, std::span<const uint8_t> source, int32_t length, int32_t start,
                       const ProgressFn& progress)
{
    length = std::min(length, MaxTransferLength);
    int32_t blocks = length > 0 ? (length + BlockSize - 1) / BlockSize : 0;
    int32_t address = start;
    for (int32_t k = 1; k <= blocks; ++k) {
        auto data = TakeBlock(source, static_cast<size_t>(BlockSize) * (k - 1));
        int32_t result = AcknowledgedExchange(MakeBlock(code, address & 0xFFFF, data.data()));
        if (result != LinkOk) return result;
        address += BlockSize;
        if (progress) progress(PercentHalfEven(k, blocks));
    }
    return LinkOk;
}
} // namespace

int32_t ProgramImage(std::span<const uint8_t> source, int32_t length, bool verify, const ProgressFn& progress)
{
    return TransferBlocks(verify ? 0xCA : 0xC9, source, length, 0, progress);
}

int32_t ProgramData(std::span<const uint8_t> source, int32_t length, int32_t start, const ProgressFn& progress,
                    bool verify)
{
    return TransferBlocks(verify ? 0xCF : 0xCE, source, length, start, progress);
}

int32_t WriteFontTable(const uint8_t* table, bool verify, int32_t index)
{
    return AcknowledgedExchange(MakeBlock(verify ? 0xCF : 0xCE, 0xFF00 | ((index * 32) & 0xE0), table));
}

int32_t SendPrepare()
{
    std::array<uint8_t, BlockSize> tail;
    for (uint8_t& b : tail) b = RandomByte();
    return AcknowledgedExchange(MakeBlock(0xD2, PrepareCode, tail.data()));
}

int32_t PrepareProgramming()
{
    int32_t result = SendPrepare();
    return result == LinkBad ? SendPrepare() : result;
}

bool WriteRamBlock(const uint8_t* source, int32_t address)
{
    BlockPayload p = MakeBlock(0xD3, address & 0xFFE0, source);
    for (int32_t attempt = 0; attempt < AckAttempts; ++attempt) {
        BoardPort->SendPacket(p.data(), static_cast<int32_t>(p.size()));
        std::string reply;
        if (BoardPort->WaitPacketText(reply, BlockReplyTimeout) && reply == "OK!") return true;
        Clock::Sleep(SilencePause);
    }
    return false;
}

bool ReadRamBlock(uint8_t* dest, int32_t address)
{
    std::array<uint8_t, 8> p{0xD4, static_cast<uint8_t>((address >> 8) & 0xFF), static_cast<uint8_t>(address & 0xE0)};
    BoardPort->SendPacket(p.data(), static_cast<int32_t>(p.size()));
    uint8_t reply[65];
    int32_t count = 0;
    if (!BoardPort->WaitPacket(reply, sizeof reply, ShortReplyTimeout, count) || count != 33 || reply[0] != 0x03)
        return false;
    std::copy_n(reply + 1, BlockSize, dest);
    return true;
}
