// The clock's microsecond reading, which the simulated line times its bytes on: it runs at the
// clock's speed, agrees with the tick counter, and never runs back.
#include "serial/Clock.h"

#include <gtest/gtest.h>

namespace {

class ClockMicrosTest : public ::testing::Test {
protected:
    void TearDown() override { Clock::Reset(); }
};

TEST_F(ClockMicrosTest, RunsAtTheClocksSpeed)
{
    Clock::SetScale(100);
    uint64_t before = Clock::Micros();
    uint32_t ticks = Clock::TickCount();
    Clock::Sleep(200);
    EXPECT_GE(Clock::Micros() - before, 200000u);
    EXPECT_GE(Clock::TickCount() - ticks, 200u);
}

TEST_F(ClockMicrosTest, TickCountAtAgreesWithTheTickCounter)
{
    Clock::SetScale(100);
    for (int i = 0; i < 200; ++i) {
        uint64_t before = Clock::Micros();
        uint32_t ticks = Clock::TickCount();
        uint64_t after = Clock::Micros();
        EXPECT_LE(static_cast<int32_t>(Clock::TickCountAt(before) - ticks), 0);
        EXPECT_GE(static_cast<int32_t>(Clock::TickCountAt(after) - ticks), 0);
        // A millisecond earlier is one tick earlier.
        EXPECT_EQ(Clock::TickCountAt(after) - Clock::TickCountAt(after - 1000), 1u);
    }
}

TEST_F(ClockMicrosTest, SettingTheTickCounterMovesTicksOnly)
{
    uint64_t before = Clock::Micros();
    Clock::SetTickCount(0xFFFFFF00u);
    uint64_t after = Clock::Micros();
    EXPECT_GE(after, before);
    EXPECT_LT(Clock::TickCountAt(after) - 0xFFFFFF00u, 1000u);
    // Moments before the setting read on the new counter, across its wrap.
    EXPECT_EQ(Clock::TickCountAt(after + 300000) - Clock::TickCountAt(after), 300u);
    EXPECT_EQ(Clock::TickCountAt(after) - Clock::TickCountAt(after - 5000), 5u);
}

TEST_F(ClockMicrosTest, ChangingTheSpeedNeverSetsItBack)
{
    uint64_t last = Clock::Micros();
    for (double speed : {100.0, 1.0, 1000.0, 10.0}) {
        Clock::SetScale(speed);
        uint64_t now = Clock::Micros();
        EXPECT_GE(now, last);
        last = now;
    }
    Clock::Reset();
    EXPECT_GE(Clock::Micros(), last);
}

}   // namespace
