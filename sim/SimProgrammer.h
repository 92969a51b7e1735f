// The board's resident programmer: the running program that answers reset, the break-in that
// catches it, and the packets it serves afterwards (ping, version, preamble, preparation, block
// program/verify, data write/verify, RAM, configuration, start).
#pragma once

#include "sim/BoardSim.h"
#include "sim/SimReply.h"

#include <cstdint>
#include <vector>

namespace sim {

constexpr size_t MemorySize = 65536;
constexpr size_t RamSize = 32768;
constexpr size_t ConfigSize = 256;

class TSimProgrammer {
public:
    TSimProgrammer();

    BoardPhase Phase() const { return phase_; }
    void PowerOn();
    void PowerOff();
    void BurstStarted();   // a 0x5C burst at the programmer's rate
    void BurstEnded();     // the line has been quiet long enough after it
    // False when the request gets no reply (wrong phase, unknown code, wrong length, 0xCD);
    // reply.Restart tells either way whether the board restarted.
    bool Handle(const std::vector<uint8_t>& request, SimReply& reply);

    void SetVersion(char major, char minor)
    {
        major_ = major;
        minor_ = minor;
    }
    void SetVersionReply(bool on) { versionReply_ = on; }
    // Bits of `mask` read as 0 at this RAM address (a defective cell for the RAM test).
    void BreakRamBits(uint32_t address, uint8_t mask);

    const std::vector<uint8_t>& ProgramMemory() const { return program_; }
    const std::vector<uint8_t>& DataMemory() const { return data_; }
    std::vector<uint8_t> Ram() const;
    const std::vector<uint8_t>& ConfigArea() const { return config_; }

private:
    bool HandleRunning(const std::vector<uint8_t>& request, SimReply& reply);
    bool HandleProgrammer(const std::vector<uint8_t>& request, SimReply& reply);
    SimReply WriteBlock(std::vector<uint8_t>& memory, const std::vector<uint8_t>& request);
    SimReply VerifyBlock(const std::vector<uint8_t>& memory, const std::vector<uint8_t>& request) const;
    SimReply ReadRam(uint32_t address) const;
    SimReply ReadConfig(uint8_t offset) const;

    BoardPhase phase_ = BoardPhase::Running;
    char major_ = '4', minor_ = '0';
    bool versionReply_ = true;
    std::vector<uint8_t> program_, data_, ram_, ramBroken_, config_;
};

}   // namespace sim
