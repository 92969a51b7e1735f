// A simulated board with its loader on a pseudo-terminal, and a loader link of its own opened on it.
// Pauses run 100 times faster; reply timeouts keep their real length unless a test is about one.
#pragma once

#include "loader/LoaderLink.h"
#include "serial/Clock.h"
#include "serial/Serial.h"
#include "tests/common/SimulatedBoardTest.h"
#include "tests/loader/Printers.h"
#include "tests/loader/RecordingView.h"

#include <algorithm>
#include <memory>

class LoaderFixture : public SimulatedBoardTest {
protected:
    LoaderFixture() : SimulatedBoardTest(100) {}
    void SetUp() override
    {
        StartBoard();
        if (HasFatalFailure()) return;
        link = std::make_unique<TLoaderLink>(sim->SlavePath());
        link->SeedRandom(7);
        OpenOnSim();
    }
    void TearDown() override
    {
        if (link) link->CloseLoaderPort();
        link.reset();
    }

    void OpenOnSim()
    {
        link->SetPortName(sim->SlavePath());
        link->OpenLoaderPort(view);
        ASSERT_FALSE(link->LastFailure()) << PortErrorDetails(link->PortName(), link->LastFailure());
    }

    // The framed requests with `command` (0: all).
    std::vector<WireRecord> Requests(uint8_t command = 0) const
    {
        return command == 0 ? SimulatedBoardTest::Requests() : RequestsWith(command);
    }
    // The requests once at least `count` are logged (or after 5 s).
    std::vector<WireRecord> RequestsOnceLogged(size_t count) const { return AwaitRequests(count); }

    static uint32_t FlashAddress(const WireRecord& r)
    {
        return uint32_t{r.Payload[1]} << 16 | uint32_t{r.Payload[2]} << 8 | r.Payload[3];
    }

    std::vector<uint8_t> Flash(uint32_t address, uint32_t count) const { return sim->Flash(address, count); }

    std::unique_ptr<TLoaderLink> link;
    TRecordingView view;
};
