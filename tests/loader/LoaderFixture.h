// A simulated board with its loader on a pseudo-terminal, and a loader link of its own opened on it.
// Pauses run 100 times faster; reply timeouts keep their real length unless a test is about one.
#pragma once

#include "loader/LoaderLink.h"
#include "serial/Clock.h"
#include "serial/Serial.h"
#include "sim/BoardSim.h"
#include "tests/loader/Printers.h"
#include "tests/loader/RecordingView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

class LoaderFixture : public testing::Test {
protected:
    void SetUp() override
    {
        Clock::SetScale(100);
        ASSERT_TRUE(sim.Start());
        link = std::make_unique<TLoaderLink>(sim.SlavePath());
        link->SeedRandom(7);
        OpenOnSim();
    }
    void TearDown() override
    {
        if (link) link->CloseLoaderPort();
        link.reset();
        sim.Stop();
        Clock::Reset();
    }

    void OpenOnSim()
    {
        link->SetPortName(sim.SlavePath());
        link->OpenLoaderPort(view);
        ASSERT_FALSE(link->LastFailure()) << PortErrorDetails(link->PortName(), link->LastFailure());
    }

    // Reply timeouts as short as pauses: only for tests about a timeout.
    static void ShortReplyTimeouts() { Clock::SetScale(100, 100); }

    std::vector<WireRecord> Requests(uint8_t command = 0) const
    {
        std::vector<WireRecord> out;
        for (const WireRecord& r : sim.WireLog())
            if (r.FromProgram && !r.Raw && (command == 0 || r.Command() == command)) out.push_back(r);
        return out;
    }

    // The requests once at least `count` are logged (or after 5 s): the simulator logs a request
    // when it has read it, which may be after the link gave up waiting for its reply.
    std::vector<WireRecord> RequestsOnceLogged(size_t count) const
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (Requests().size() < count && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return Requests();
    }

    static uint32_t FlashAddress(const WireRecord& r)
    {
        return uint32_t{r.Payload[1]} << 16 | uint32_t{r.Payload[2]} << 8 | r.Payload[3];
    }

    std::vector<uint8_t> Flash(uint32_t address, uint32_t count) const { return sim.Flash(address, count); }

    TBoardSim sim;
    std::unique_ptr<TLoaderLink> link;
    TRecordingView view;
};
