#include "sim/SimProgrammer.h"

#include <algorithm>

namespace sim {
namespace {

constexpr size_t BlockRequestLength = 35;   // code, address high, address low, 32 bytes
constexpr size_t ShortRequestLength = 8;
constexpr size_t BlockSize = 32;

uint32_t AddressOf(const std::vector<uint8_t>& request) { return static_cast<uint32_t>(request[1]) << 8 | request[2]; }

SimReply DataReply(uint8_t kind, const uint8_t* bytes, size_t count)
{
    SimReply r;
    r.Payload.resize(1 + count);
    r.Payload[0] = kind;
    std::copy_n(bytes, count, r.Payload.begin() + 1);
    return r;
}

}   // namespace

TSimProgrammer::TSimProgrammer()
    : program_(MemorySize, 0xFF), data_(MemorySize, 0xFF), ram_(RamSize, 0), ramBroken_(RamSize, 0), config_(ConfigSize)
{
    // Any fixed content will do; a pattern makes a misplaced read visible.
    for (size_t i = 0; i < ConfigSize; ++i) config_[i] = static_cast<uint8_t>(i * 37 + 0x11);
}

void TSimProgrammer::PowerOn()
{
    if (phase_ == BoardPhase::Off) phase_ = BoardPhase::Running;
}

void TSimProgrammer::PowerOff() { phase_ = BoardPhase::Off; }

void TSimProgrammer::BurstStarted()
{
    if (phase_ != BoardPhase::Off) phase_ = BoardPhase::BreakIn;
}

void TSimProgrammer::BurstEnded()
{
    if (phase_ == BoardPhase::BreakIn) phase_ = BoardPhase::Programmer;
}

void TSimProgrammer::BreakRamBits(uint32_t address, uint8_t mask) { ramBroken_[address % RamSize] = mask; }

std::vector<uint8_t> TSimProgrammer::Ram() const
{
    std::vector<uint8_t> ram(ram_);
    for (size_t i = 0; i < RamSize; ++i) ram[i] &= static_cast<uint8_t>(~ramBroken_[i]);
    return ram;
}

bool TSimProgrammer::Handle(const std::vector<uint8_t>& request, SimReply& reply)
{
    reply = SimReply{};
    if (request.empty()) return false;
    switch (phase_) {
    case BoardPhase::Running: return HandleRunning(request, reply);
    case BoardPhase::Programmer: return HandleProgrammer(request, reply);
    default: return false;
    }
}

bool TSimProgrammer::HandleRunning(const std::vector<uint8_t>& request, SimReply& reply)
{
    // The board's own program knows only the reset request.
    if (request[0] != 0x12 || request.size() != 6) return false;
    reply = TextReply("RSTOK");
    reply.Restart = true;
    return true;
}

bool TSimProgrammer::HandleProgrammer(const std::vector<uint8_t>& request, SimReply& reply)
{
    const size_t n = request.size();
    switch (request[0]) {
    case 0xC8:
        if (n != ShortRequestLength) return false;
        reply = TextReply("OK!");
        return true;
    case 0xD0: {
        if (n != ShortRequestLength || !versionReply_) return false;
        const uint8_t digits[2] = {static_cast<uint8_t>(major_), static_cast<uint8_t>(minor_)};
        reply = DataReply(0x09, digits, 2);
        return true;
    }
    case 0xD5:
        if (n != 20) return false;
        reply = TextReply("OK!");
        return true;
    case 0xD6:
        if (n != 16) return false;
        reply = TextReply("OK!");
        return true;
    case 0xD2:
        if (n != BlockRequestLength) return false;
        reply = TextReply(request[1] == 0x5E && request[2] == 0x3C ? "OK!" : "BAD");
        return true;
    case 0xC9:
    case 0xCE:
        if (n != BlockRequestLength) return false;
        reply = WriteBlock(request[0] == 0xC9 ? program_ : data_, request);
        return true;
    case 0xCA:
    case 0xCF:
        if (n != BlockRequestLength) return false;
        reply = VerifyBlock(request[0] == 0xCA ? program_ : data_, request);
        return true;
    case 0xD3: {
        if (n != BlockRequestLength) return false;
        uint32_t address = AddressOf(request) & 0x7FE0;
        for (size_t i = 0; i < BlockSize; ++i) ram_[address + i] = request[3 + i];
        reply = TextReply("OK!");
        return true;
    }
    case 0xD4:
        if (n != ShortRequestLength) return false;
        reply = ReadRam(AddressOf(request) & 0x7FE0);
        return true;
    case 0xD1:
        if (n != ShortRequestLength) return false;
        reply = ReadConfig(request[1] & 0xE0);
        return true;
    case 0xCD:
        // The board leaves its programmer and runs its program: no answer.
        if (n != ShortRequestLength) return false;
        phase_ = BoardPhase::Running;
        reply.Restart = true;
        return false;
    default: return false;
    }
}

SimReply TSimProgrammer::WriteBlock(std::vector<uint8_t>& memory, const std::vector<uint8_t>& request)
{
    uint32_t address = AddressOf(request);
    for (size_t i = 0; i < BlockSize; ++i) memory[(address + i) % MemorySize] = request[3 + i];
    return TextReply("OK!");
}

SimReply TSimProgrammer::VerifyBlock(const std::vector<uint8_t>& memory, const std::vector<uint8_t>& request) const
{
    uint32_t address = AddressOf(request);
    for (size_t i = 0; i < BlockSize; ++i)
        if (memory[(address + i) % MemorySize] != request[3 + i]) return TextReply("BAD");
    return TextReply("OK!");
}

SimReply TSimProgrammer::ReadRam(uint32_t address) const
{
    uint8_t block[BlockSize];
    for (size_t i = 0; i < BlockSize; ++i)
        block[i] = static_cast<uint8_t>(ram_[address + i] & ~ramBroken_[address + i]);
    return DataReply(0x03, block, BlockSize);
}

SimReply TSimProgrammer::ReadConfig(uint8_t offset) const
{
    return DataReply(0x02, config_.data() + offset, BlockSize);
}

}   // namespace sim
