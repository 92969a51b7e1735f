// A running simulated board on a pseudo-terminal, a board link of the fixture's own on it, and a
// scripted user. Pauses run 20 times faster (the break-in's quiet second keeps 50 ms of slack);
// reply timeouts stay real unless a test speeds them up.
#pragma once

#include "board/BoardLink.h"
#include "fonts/FontFile.h"
#include "serial/Clock.h"
#include "serial/Serial.h"
#include "tests/common/ScriptedDialogue.h"
#include "tests/common/SimulatedBoardTest.h"

#include <chrono>
#include <memory>

class BoardFixture : public SimulatedBoardTest {
protected:
    BoardFixture() : SimulatedBoardTest(20) {}
    void SetUp() override { StartSim({}); }
    void StartSim(const SimOptions& options)
    {
        StartBoard(options);
        if (HasFatalFailure()) return;
        link = std::make_unique<TBoardLink>(sim->SlavePath());
    }
    void StopSim()
    {
        link.reset();
        StopBoard();
    }
    void Restart(const SimOptions& options)
    {
        StopSim();
        StartSim(options);
    }
    // The program's requests: command codes, a 0x5C burst as one 0x5C.
    std::vector<uint8_t> Requests() const { return RequestCodes(); }
    // Waits (at most 2 s) until `count` requests with `code` are logged.
    std::vector<WireRecord> AwaitRequestsWith(uint8_t code, size_t count) const
    {
        return AwaitRequests(count, code, std::chrono::seconds(2));
    }
    // Reply timeouts run `replySpeedup` times faster (pauses `speedup` times) while the board hears
    // the from-th .. (from+count-1)-th request with `code` (count -1: to the end); healthy exchanges
    // keep real timeouts, however loaded the machine is. When a healthy exchange may still fall
    // into the fast stretch, keep its timeout long enough (replySpeedup 10: 300 ms).
    void FastTimeoutsFor(uint8_t code, int from, int count, double speedup = 100, double replySpeedup = 100)
    {
        auto seen = std::make_shared<int>(0);
        sim->SetWireListener([=](const WireRecord& r) {
            if (!r.FromProgram || r.Raw || r.Command() != code) return;
            int n = ++*seen;
            if (n == from) Clock::SetScale(speedup, replySpeedup);
            if (count >= 0 && n == from + count) Clock::SetScale(100, 1);
        });
    }
    // Catches the board the way the workflows do; the version gate is left to the test.
    void Connect()
    {
        bool versionRead = false;
        ASSERT_EQ(link->OpenConnection(ui, versionRead), TConnect::Connected);
    }

    std::unique_ptr<TBoardLink> link;
    ScriptedDialogue ui;
};

inline std::vector<uint8_t> Repeat(std::vector<uint8_t> codes, uint8_t code, size_t n)
{
    codes.insert(codes.end(), n, code);
    return codes;
}
