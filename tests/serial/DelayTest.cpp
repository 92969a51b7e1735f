#include "serial/Delay.h"

#include <gtest/gtest.h>

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

TEST_F(DelayTest, CalibrationEndsAndRestoresPriority)
{
    errno = 0;
    int nice = getpriority(PRIO_PROCESS, 0);
    int policy = -1;
    sched_param param{};
    ASSERT_EQ(pthread_getschedparam(pthread_self(), &policy, &param), 0);

    CalibrateDelay();   // about one second
    EXPECT_GE(LoopsPerMicrosecond, 0);

    int policyAfter = -1;
    ASSERT_EQ(pthread_getschedparam(pthread_self(), &policyAfter, &param), 0);
    EXPECT_EQ(policyAfter, policy);
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), nice);
}
} // namespace
