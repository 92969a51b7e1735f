// A running simulated board and the program's port on it, with the clock sped up 100 times
// (the break-in's quiet second takes 10 ms; reply waits keep their real length).
#pragma once

#include "serial/Clock.h"
#include "serial/Serial.h"
#include "tests/common/SimulatedBoardTest.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A request payload: the code, the given bytes, then zeros up to `length`.
inline Bytes Request(uint8_t code, size_t length, std::initializer_list<uint8_t> rest = {})
{
    Bytes b{code};
    b.insert(b.end(), rest.begin(), rest.end());
    b.resize(length, 0);
    return b;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class SimFixture : public SimulatedBoardTest {
protected:
    SimFixture() : SimulatedBoardTest(100) {}
    virtual SimOptions Options() const { return {}; }

    void SetUp() override
    {
        StartBoard(Options());
        if (HasFatalFailure()) return;
        OpenPort();
    }

    void TearDown() override { port.Open(""); }

    void OpenPort()
    {
        port.Open(sim->SlavePath());
        ASSERT_FALSE(port.LastFailure()) << PortErrorDetails(port);
    }

    // Sends the payload and waits for one reply packet; empty when none came in time.
    Bytes Ask(const Bytes& payload, int32_t timeoutMs = 3000)
    {
        EXPECT_TRUE(port.SendPacket(payload.data(), static_cast<int32_t>(payload.size())));
        return Reply(timeoutMs);
    }

    Bytes Reply(int32_t timeoutMs = 3000)
    {
        uint8_t buffer[256];
        int32_t count = 0;
        if (!port.WaitPacket(buffer, sizeof buffer, timeoutMs, count)) return {};
        return Bytes(buffer, buffer + count);
    }

    // Five real seconds in ticks, whatever the speed-up of reply timeouts.
    static uint32_t FiveSeconds() { return static_cast<uint32_t>(5000 * Clock::Speedup()); }

    // Waits (real time bounded) until the wire log holds at least n records.
    bool WaitForRecords(size_t n)
    {
        uint32_t start = Clock::TickCount();
        const uint32_t limit = FiveSeconds();
        while (sim->WireLog().size() < n) {
            if (Clock::TickCount() - start > limit) return false;
            Clock::Sleep(1);
        }
        return true;
    }

    // The board heard the request and answered nothing: the reply would have been logged in the
    // same pass as the request, so no timeout is needed to tell.
    bool Unanswered(const Bytes& payload)
    {
        size_t before = sim->WireLog().size();
        if (!port.SendPacket(payload.data(), static_cast<int32_t>(payload.size()))) return false;
        if (!WaitForRecords(before + 1)) return false;
        std::vector<WireRecord> log = sim->WireLog();
        uint8_t buffer[256];
        int32_t count = 0;
        return log.size() == before + 1 && log.back().FromProgram && !port.GetPacket(buffer, sizeof buffer, count);
    }

    bool WaitForPhase(BoardPhase phase)
    {
        uint32_t start = Clock::TickCount();
        const uint32_t limit = FiveSeconds();
        while (sim->Phase() != phase) {
            if (Clock::TickCount() - start > limit) return false;
            Clock::Sleep(1);
        }
        return true;
    }

    // The 0x5C burst of the connection sequence (shortened), then the quiet second.
    void BreakIn(size_t bytes = 1024)
    {
        Bytes burst(bytes, 0x5C);
        ASSERT_TRUE(port.WriteRaw(burst.data(), static_cast<int32_t>(burst.size())));
        ASSERT_TRUE(WaitForPhase(BoardPhase::Programmer));
    }

    TComPort port{false, true};
};
