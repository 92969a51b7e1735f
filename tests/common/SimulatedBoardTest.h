// The base of every test on a simulated board: the program's clock sped up for the test (pauses
// only; reply timeouts keep their real length unless the test is about one) and put back when it
// ends, a simulated board on a pseudo-terminal in this process, and what the board heard. Each
// fixture picks its clock's speed-up: a pseudo-terminal takes the break-in burst far faster than a
// line would, and the board must still hear the burst end a quiet second before the ping, so a
// fixture whose tests break in keeps 20 (50 ms of slack), one that only talks to the loader 100.
#pragma once

#include "sim/BoardSim.h"
#include "tests/common/ClockScale.h"
#include "tests/common/RequestLog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

class SimulatedBoardTest : public testing::Test {
    // First of the members: the clock goes back to real time after the board and the fixture's own
    // links and windows on it have closed.
    TClockScale clock_;

protected:
    explicit SimulatedBoardTest(double speedup) : clock_(speedup) {}

    // A new board with these options (one that runs stops first); fails the test when it cannot start.
    void StartBoard(const SimOptions& options = {});
    void StopBoard() { sim.reset(); }

    // Reply timeouts as short as pauses, and back: only for tests about a timeout.
    void ShortReplyTimeouts() const { clock_.ShortReplyTimeouts(); }
    void NormalReplyTimeouts() const { clock_.NormalReplyTimeouts(); }

    // The board's request log (see RequestLog.h).
    std::vector<WireRecord> Requests() const { return ::Requests(*sim); }
    std::vector<WireRecord> RequestsWith(uint8_t code) const { return ::RequestsWith(*sim, code); }
    std::vector<uint8_t> RequestCodes() const { return ::RequestCodes(*sim); }
    std::vector<WireRecord> AwaitRequests(size_t count, uint8_t code = 0,
                                          std::chrono::milliseconds limit = std::chrono::seconds(5)) const
    {
        return ::AwaitRequests(*sim, count, code, limit);
    }

    std::unique_ptr<TBoardSim> sim;
};
