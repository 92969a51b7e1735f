// Moving memory to and from the board in acknowledged 32-byte blocks.
#include "board/BoardLink.h"

#include "serial/Clock.h"
#include "util/TextFormat.h"

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

// 32 bytes from `source` at `offset`; bytes past its end are 0xFF.
std::array<uint8_t, BlockSize> TakeBlock(std::span<const uint8_t> source, size_t offset)
{
    std::array<uint8_t, BlockSize> block;
    block.fill(0xFF);
    if (offset < source.size())
        std::copy_n(source.begin() + offset, std::min<size_t>(BlockSize, source.size() - offset), block.begin());
    return block;
}
}   // namespace

// One block sent until the board acknowledges it, says "BAD", or five attempts ran out. The
// payload stays the same for every attempt; only silence is followed by a pause. A stop, or the
// port's device gone, ends the attempts.
TLinkResult TBoardLink::AcknowledgedExchange(std::span<const uint8_t> payload)
{
    TLinkResult result = TLinkResult::Lost;
    for (int32_t attempt = 0; attempt < AckAttempts; ++attempt) {
        Send(payload);
        std::string reply;
        bool answered = boardPort_->WaitPacketText(reply, BlockReplyTimeout);
        result = !answered        ? TLinkResult::Lost
                 : reply == "OK!" ? TLinkResult::Ok
                 : reply == "BAD" ? TLinkResult::Bad
                                  : TLinkResult::Lost;
        if (!answered) boardPort_->Pause(SilencePause);
        if (result != TLinkResult::Lost || boardPort_->Halted()) break;
    }
    return result;
}

TLinkResult TBoardLink::TransferBlocks(uint8_t code, std::span<const uint8_t> source, int32_t length, int32_t start,
                                       const ProgressFn& progress)
{
    length = std::min(length, MaxTransferLength);
    int32_t blocks = length > 0 ? (length + BlockSize - 1) / BlockSize : 0;
    int32_t address = start;
    for (int32_t k = 1; k <= blocks; ++k) {
        auto data = TakeBlock(source, static_cast<size_t>(BlockSize) * (k - 1));
        TLinkResult result = AcknowledgedExchange(MakeBlock(code, address & 0xFFFF, data.data()));
        if (result != TLinkResult::Ok) return result;
        address += BlockSize;
        if (progress) progress({PercentHalfEven(k, blocks), std::min<int64_t>(int64_t{BlockSize} * k, length), length});
    }
    return TLinkResult::Ok;
}

TLinkResult TBoardLink::ProgramImage(std::span<const uint8_t> source, int32_t length, bool verify,
                                     const ProgressFn& progress)
{
    return TransferBlocks(verify ? 0xCA : 0xC9, source, length, 0, progress);
}

TLinkResult TBoardLink::ProgramData(std::span<const uint8_t> source, int32_t length, int32_t start,
                                    const ProgressFn& progress, bool verify)
{
    return TransferBlocks(verify ? 0xCF : 0xCE, source, length, start, progress);
}

TLinkResult TBoardLink::WriteFontTable(const uint8_t* table, bool verify, int32_t index)
{
    return AcknowledgedExchange(MakeBlock(verify ? 0xCF : 0xCE, 0xFF00 | ((index * 32) & 0xE0), table));
}

TLinkResult TBoardLink::SendPrepare()
{
    std::array<uint8_t, BlockSize> tail;
    for (uint8_t& b : tail) b = random_.Byte();
    return AcknowledgedExchange(MakeBlock(0xD2, PrepareCode, tail.data()));
}

TLinkResult TBoardLink::PrepareProgramming()
{
    TLinkResult result = SendPrepare();
    return result == TLinkResult::Bad ? SendPrepare() : result;
}

bool TBoardLink::WriteRamBlock(const uint8_t* source, int32_t address)
{
    BlockPayload p = MakeBlock(0xD3, address & 0xFFE0, source);
    for (int32_t attempt = 0; attempt < AckAttempts; ++attempt) {
        Send(p);
        std::string reply;
        if (boardPort_->WaitPacketText(reply, BlockReplyTimeout) && reply == "OK!") return true;
        if (boardPort_->Halted()) break;
        boardPort_->Pause(SilencePause);
    }
    return false;
}

bool TBoardLink::ReadRamBlock(uint8_t* dest, int32_t address)
{
    std::array<uint8_t, 8> p{0xD4, static_cast<uint8_t>((address >> 8) & 0xFF), static_cast<uint8_t>(address & 0xE0)};
    Send(p);
    uint8_t reply[65];
    int32_t count = 0;
    if (!boardPort_->WaitPacket(reply, sizeof reply, ShortReplyTimeout, count) || count != 33 || reply[0] != 0x03)
        return false;
    std::copy_n(reply + 1, BlockSize, dest);
    return true;
}
