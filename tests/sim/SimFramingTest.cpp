// The line format pinned to literal bytes, through a bare client of our own on the slave, so
// that a fault shared with the program's port cannot hide here.
#include "serial/Clock.h"
#include "sim/BoardSim.h"
#include "sim/SimFrame.h"
#include "tests/common/SimulatedBoardTest.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(SimFrame, SumsAndFrameOfAbcAreTheLiteralBytes)
{
    const Bytes abc{0x61, 0x62, 0x63};
    uint8_t a = 0, b = 0;
    sim::FrameSums(abc.data(), abc.size(), a, b);
    EXPECT_EQ(a, 0x26);
    EXPECT_EQ(b, 0x6A);
    EXPECT_EQ(sim::BuildFrame(abc), (Bytes{0x06, 0x26, 0x6A, 0x61, 0x62, 0x63}));
}

TEST(SimFrame, SumBRotatesByPositionModuloEight)
{
    // Nine bytes 0x01: SumB gets 1 rotated right by 0..7, then by 0 again.
    const Bytes ones(9, 0x01);
    uint8_t a = 0, b = 0;
    sim::FrameSums(ones.data(), ones.size(), a, b);
    EXPECT_EQ(a, 9);
    EXPECT_EQ(b, (0x01 + 0x80 + 0x40 + 0x20 + 0x10 + 0x08 + 0x04 + 0x02 + 0x01) & 0xFF);
}

TEST(SimFrame, LongPayloadIsCutTo252)
{
    Bytes frame = sim::BuildFrame(Bytes(300, 0x11));
    EXPECT_EQ(frame.size(), 255u);
    EXPECT_EQ(frame[0], 255);
}

// The receiver on its own: bytes in, events out.
class LineReceiverTest : public ::testing::Test {
protected:
    std::vector<sim::LineEvent> Feed(const Bytes& bytes, uint64_t tick = 0)
    {
        std::vector<sim::LineEvent> events;
        for (uint8_t b : bytes) receiver.Feed(b, 19200, tick, events);
        return events;
    }
    sim::TLineReceiver receiver{2000, 1000};
};

TEST_F(LineReceiverTest, LiteralAbcIsOneValidFrame)
{
    auto events = Feed({0x06, 0x26, 0x6A, 0x61, 0x62, 0x63});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].Valid);
    EXPECT_EQ(events[0].Payload, (Bytes{0x61, 0x62, 0x63}));
}

TEST_F(LineReceiverTest, WrongSumBOrEmptyPayloadIsInvalid)
{
    auto events = Feed({0x06, 0x26, 0x6B, 0x61, 0x62, 0x63, 0x03, 0x00, 0x00});
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[0].Valid);
    EXPECT_FALSE(events[1].Valid);
    EXPECT_TRUE(events[1].Payload.empty());
}

TEST_F(LineReceiverTest, IncompleteFrameIsDroppedAfterTheGapAndTheNextStartsClean)
{
    auto events = Feed({0x06, 0x26}, 0);
    EXPECT_TRUE(events.empty());
    receiver.Poll(2000, events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0].Valid);
    events = Feed({0x06, 0x26, 0x6A, 0x61, 0x62, 0x63}, 2500);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].Valid);
}

TEST_F(LineReceiverTest, RunOf0x5CIsOneBurstThatEndsAfterQuiet)
{
    auto events = Feed(Bytes(500, 0x5C), 10);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].What, sim::LineEvent::BurstStart);
    // Anything during the burst is swallowed and keeps the line busy.
    events = Feed({0x06, 0x26, 0x6A, 0x61, 0x62, 0x63}, 900);
    EXPECT_TRUE(events.empty());
    receiver.Poll(1899, events);
    EXPECT_TRUE(events.empty());
    receiver.Poll(1900, events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].What, sim::LineEvent::BurstEnd);
    EXPECT_EQ(events[0].Count, 506u);
    EXPECT_EQ(events[0].FirstTick, 10u);
    EXPECT_EQ(events[0].Tick, 900u);
}

TEST_F(LineReceiverTest, A0x5CRunInsideAFramePayloadIsData)
{
    Bytes payload{0xC9, 0x00, 0x00};
    payload.resize(35, 0x5C);
    Bytes frame = sim::BuildFrame(payload);
    frame.insert(frame.end(), frame.begin(), frame.end());   // twice: 64 and more 0x5C in a row
    auto events = Feed(frame);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(events[0].Valid);
    EXPECT_TRUE(events[1].Valid);
}

TEST_F(LineReceiverTest, BytesToNextEventCountsToWhatMayEndAFrameOrStartABurst)
{
    EXPECT_EQ(receiver.BytesToNextEvent(0x06), 6u);
    EXPECT_EQ(receiver.BytesToNextEvent(0x00), 1u);    // a length byte alone is a frame
    EXPECT_EQ(receiver.BytesToNextEvent(0x5C), 64u);   // a burst before the 92-byte frame
    Feed({0x06, 0x26});
    EXPECT_EQ(receiver.BytesToNextEvent(0x6A), 4u);
    receiver.Reset();
    Feed(Bytes(10, 0x5C));
    EXPECT_EQ(receiver.BytesToNextEvent(0x5C), 54u);
    Feed(Bytes(54, 0x5C));
    ASSERT_TRUE(receiver.InBurst());
    EXPECT_EQ(receiver.BytesToNextEvent(0x06), SIZE_MAX);   // swallowed until the line is quiet
}

// The serving thread feeds bytes only when the predicted one is in; no event may come earlier.
struct ByteStream {
    const char* Name;
    Bytes Stream;
};

class NextEventTest : public ::testing::TestWithParam<ByteStream> {};

TEST_P(NextEventTest, NoEventComesBeforeThePredictedByte)
{
    sim::TLineReceiver receiver{2000, 1000};
    const Bytes& s = GetParam().Stream;
    std::vector<sim::LineEvent> events;
    size_t fed = 0, seen = 0;
    while (fed < s.size()) {
        const size_t ahead = receiver.BytesToNextEvent(s[fed]);
        ASSERT_GE(ahead, 1u);
        for (size_t k = 1; k < ahead && fed < s.size(); ++k) {
            receiver.Feed(s[fed++], 19200, 0, events);
            ASSERT_TRUE(events.empty()) << "an event at byte " << fed - 1 << ", predicted at " << fed - k + ahead - 1;
        }
        if (fed == s.size()) break;
        receiver.Feed(s[fed++], 19200, 0, events);
        seen += events.size();
        events.clear();
    }
    EXPECT_GT(seen, 0u);
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes PayloadOf5C()
{
    Bytes payload{0xC9, 0x00, 0x00};
    payload.resize(35, 0x5C);
    return sim::BuildFrame(payload);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, NextEventTest,
    ::testing::Values(
        ByteStream{"FramesBackToBack", Concat({sim::BuildFrame({0x61, 0x62, 0x63}), sim::BuildFrame(Bytes(32, 0xC8)),
                                               sim::BuildFrame(Bytes(252, 0x11))})},
        ByteStream{"ShortLengths", {0x00, 0x01, 0x02, 0x03, 0x00, 0x06, 0x26, 0x6A, 0x61, 0x62, 0x63}},
        ByteStream{"BurstThenFrame", Concat({Bytes(200, 0x5C), sim::BuildFrame({0xC8, 0, 0, 0})})},
        ByteStream{"BrokenRunIsAFrameOf92", Concat({Bytes(10, 0x5C), Bytes(82, 0x00), sim::BuildFrame({0x12})})},
        ByteStream{"RunOf5CInsidePayloads", Concat({PayloadOf5C(), PayloadOf5C(), PayloadOf5C()})}),
    [](const ::testing::TestParamInfo<ByteStream>& info) { return std::string(info.param.Name); });

// A bare client: opens the slave raw at 19200 and talks bytes.
class RawClientTest : public SimulatedBoardTest {
protected:
    RawClientTest() : SimulatedBoardTest(100) {}
    void SetUp() override
    {
        StartBoard();
        if (HasFatalFailure()) return;
        fd = ::open(sim->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        t.c_cflag |= CSTOPB | CLOCAL | CREAD;
        cfsetispeed(&t, B19200);
        cfsetospeed(&t, B19200);
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
    }

    void TearDown() override
    {
        if (fd >= 0) ::close(fd);
    }

    void Write(const Bytes& bytes)
    {
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads until `count` bytes came or `timeoutMs` real milliseconds passed without a byte.
    Bytes Read(size_t count, int timeoutMs = 1000)
    {
        Bytes got;
        while (got.size() < count) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) break;
            uint8_t buffer[256];
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    bool WaitForLog(size_t n)
    {
        for (int i = 0; i < 1000 && sim->WireLog().size() < n; ++i) Clock::Sleep(100);
        return sim->WireLog().size() >= n;
    }

    int fd = -1;
};

TEST_F(RawClientTest, LiteralAbcFrameIsHeardAsPayloadAbc)
{
    Write({0x06, 0x26, 0x6A, 0x61, 0x62, 0x63});
    ASSERT_TRUE(WaitForLog(1));
    WireRecord r = sim->WireLog()[0];
    EXPECT_TRUE(r.FromProgram);
    EXPECT_FALSE(r.Raw);
    EXPECT_TRUE(r.Valid);
    EXPECT_EQ(r.Payload, (Bytes{0x61, 0x62, 0x63}));
    EXPECT_EQ(r.Baud, 19200u);
}

TEST_F(RawClientTest, ResetIsAnsweredWithTheLiteralRstokFrame)
{
    // "RSTOK" 52 53 54 4F 4B: SumA 0x193; SumB 52 + A9 + 15 + E9 + B4 = 0x2AD.
    Write({0x09, 0x21, 0xDA, 0x12, 1, 2, 3, 4, 5});
    EXPECT_EQ(Read(8), (Bytes{0x08, 0x93, 0xAD, 'R', 'S', 'T', 'O', 'K'}));
}

TEST_F(RawClientTest, PingAfterBreakInIsAnsweredWithTheLiteralOkFrame)
{
    Write(Bytes(200, 0x5C));
    for (int i = 0; i < 1000 && sim->Phase() != BoardPhase::Programmer; ++i) Clock::Sleep(100);
    ASSERT_EQ(sim->Phase(), BoardPhase::Programmer);
    Write({0x0B, 0xC8, 0xC8, 0xC8, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(Read(6), (Bytes{0x06, 0xBB, 0x3C, 'O', 'K', '!'}));
}

TEST_F(RawClientTest, FrameWithWrongSumIsLoggedInvalidAndUnanswered)
{
    Write({0x09, 0x12, 0x13, 0x12, 1, 2, 3, 4, 5});
    ASSERT_TRUE(WaitForLog(1));
    EXPECT_FALSE(sim->WireLog()[0].Valid);
    // A reply would have gone out in the same pass that logged the request.
    EXPECT_TRUE(Read(1, 50).empty());
}

}   // namespace
