#include "serial/Delay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <pthread.h>
#include <sys/resource.h>

namespace {
class DelayTest : public testing::Test {
protected:
    void TearDown() override { LoopsPerMicrosecond = saved_; }
    int64_t saved_ = LoopsPerMicrosecond;
};

// With an absurd calibration any real wait would never end: these must not wait at all.
TEST_F(DelayTest, NothingToWaitReturnsAtOnce)
{
    LoopsPerMicrosecond = INT64_C(1) << 40;
    Delay(0);
    Delay(-1);
    Delay(INT_MIN);
    LoopsPerMicrosecond = 0;   // a failed calibration
    Delay(10);
    Delay(INT_MAX);
    SUCCEED();
}

// A calibrated delay may run longer on a busy machine, never much shorter; half the time asked
// is a bound that unoptimized, optimized and loaded builds stay well clear of.
TEST_F(DelayTest, CalibrationTimesTheDelayAndRestoresPriority)
{
    errno = 0;
    int nice = getpriority(PRIO_PROCESS, 0);
    int policy = -1;
    sched_param param{};
    ASSERT_EQ(pthread_getschedparam(pthread_self(), &policy, &param), 0);

    CalibrateDelay();   // about one second
    EXPECT_GT(LoopsPerMicrosecond, 0);
    // The bus's settle times are a few to some thousand microseconds: an optimiser that dropped
    // the loop would make every one of them nothing.
    for (int32_t micros : {2000, 5000, 20000, 100000}) {
        const auto start = std::chrono::steady_clock::now();
        Delay(micros);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(micros / 2)) << micros;
    }

    int policyAfter = -1;
    ASSERT_EQ(pthread_getschedparam(pthread_self(), &policyAfter, &param), 0);
    EXPECT_EQ(policyAfter, policy);
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), nice);
}
}   // namespace
