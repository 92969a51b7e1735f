// A running simulated board on a pseudo-terminal, a board link of the fixture's own on it, and a
// scripted user. Pauses run 20 times faster; reply timeouts stay real unless a test speeds them up. A
// pseudo-terminal takes the break-in burst far faster than a line would, and the board must still
// hear the burst end a quiet second before the ping: at 20 times that second is 50 ms of slack.
#pragma once

#include "board/BoardLink.h"
#include "fonts/FontFile.h"
#include "serial/Clock.h"
#include "serial/Serial.h"
#include "sim/BoardSim.h"
#include "tests/common/ScriptedDialogue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

class BoardFixture : public testing::Test {
protected:
    void SetUp() override
    {
        Clock::SetScale(20);
        StartSim({});
    }
    void TearDown() override
    {
        StopSim();
        Clock::Reset();
    }
    void StartSim(const SimOptions& options)
    {
        sim = std::make_unique<TBoardSim>(options);
        ASSERT_TRUE(sim->Start());
        link = std::make_unique<TBoardLink>(sim->SlavePath());
    }
    void StopSim()
    {
        link.reset();
        sim.reset();
    }
    void Restart(const SimOptions& options)
    {
        StopSim();
        StartSim(options);
    }
    // The program's requests: command codes, a 0x5C burst as one 0x5C.
    std::vector<uint8_t> Requests() const
    {
        std::vector<uint8_t> codes;
        for (const WireRecord& r : sim->WireLog()) {
            if (!r.FromProgram) continue;
            uint8_t code = r.Raw ? 0x5C : r.Command();
            if (r.Raw && !codes.empty() && codes.back() == 0x5C) continue;
            codes.push_back(code);
        }
        return codes;
    }
    // The simulator logs a request once its serving thread has read it, which may be after a
    // workflow that ends right after sending has returned: waits (at most 2 s) for `count`.
    std::vector<WireRecord> AwaitRequestsWith(uint8_t code, size_t count) const
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        std::vector<WireRecord> found = RequestsWith(code);
        while (found.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            found = RequestsWith(code);
        }
        return found;
    }
    std::vector<WireRecord> RequestsWith(uint8_t code) const
    {
        std::vector<WireRecord> found;
        for (const WireRecord& r : sim->WireLog())
            if (r.FromProgram && !r.Raw && r.Command() == code) found.push_back(r);
        return found;
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

    std::unique_ptr<TBoardSim> sim;
    std::unique_ptr<TBoardLink> link;
    ScriptedDialogue ui;
};

inline std::vector<uint8_t> Repeat(std::vector<uint8_t> codes, uint8_t code, size_t n)
{
    codes.insert(codes.end(), n, code);
    return codes;
}
