// Packet exchange through a real port on a pseudo-terminal: the test is the far end.
#include "PtyPair.h"

#include "serial/Clock.h"
#include "serial/Serial.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {
const Bytes Abc{0x61, 0x62, 0x63};
const Bytes AbcFrame{0x06, 0x26, 0x6A, 0x61, 0x62, 0x63};
constexpr int32_t LongWait = 5000;   // ms; a healthy reply comes long before

class PortTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Ok());
        port.SetTrace(trace.Sink());
        port.Open(pty.SlavePath());
        ASSERT_FALSE(port.LastFailure()) << PortErrorDetails(port);
    }
    void TearDown() override { Clock::Reset(); }

    Bytes Take(int32_t maximum = 512)
    {
        uint8_t buffer[512] = {};
        int32_t count = -1;
        if (!port.GetPacket(buffer, maximum, count)) return {};
        return Bytes(buffer, buffer + count);
    }
    Bytes WaitTake(int32_t timeout = LongWait)
    {
        uint8_t buffer[512] = {};
        int32_t count = -1;
        if (!port.WaitPacket(buffer, 512, timeout, count)) return {};
        return Bytes(buffer, buffer + count);
    }

    TraceRecorder trace;   // outlives the port, whose receive thread reports to it
    PtyPair pty;
    TComPort port{false, true};
};

TEST_F(PortTest, FramingExampleBothWays)
{
    ASSERT_TRUE(port.SendPacket(Abc.data(), 3));
    EXPECT_EQ(pty.Read(6), AbcFrame);

    ASSERT_TRUE(pty.Write(AbcFrame));
    EXPECT_EQ(WaitTake(), Abc);
    EXPECT_TRUE(Take().empty()) << "a packet is taken once";
}

TEST_F(PortTest, EmptyPayloadIsSentButNeverDelivered)
{
    ASSERT_TRUE(port.SendPacket(Abc.data(), 0));
    EXPECT_EQ(pty.Read(3), (Bytes{0x03, 0x00, 0x00}));

    ASSERT_TRUE(pty.Write({0x03, 0x00, 0x00}));
    ASSERT_TRUE(trace.WaitJudged(1));
    EXPECT_EQ(trace.Entries().back().Kind, TraceKind::ReceivedInvalid);
    EXPECT_TRUE(Take().empty());
}

TEST_F(PortTest, LongPayloadIsCutTo252)
{
    Bytes payload(300);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(port.SendPacket(payload.data(), 300));
    Bytes sent = pty.Read(255);
    EXPECT_EQ(sent, Frame(Bytes(payload.begin(), payload.begin() + 252)));
    EXPECT_EQ(sent[0], 255);
    EXPECT_TRUE(pty.Read(1, std::chrono::milliseconds(50)).empty()) << "nothing beyond 255 bytes";
}

TEST_F(PortTest, NegativeCountSendsAnEmptyFrame)
{
    ASSERT_TRUE(port.SendPacket(Abc.data(), -5));
    EXPECT_EQ(pty.Read(3), (Bytes{0x03, 0x00, 0x00}));
}

TEST_F(PortTest, RawBytesGoOutUnframed)
{
    Bytes burst(600, 0x5C);
    ASSERT_TRUE(port.WriteRaw(burst.data(), 600));
    EXPECT_EQ(pty.Read(600), burst);
    EXPECT_TRUE(port.WriteRaw(burst.data(), 0));
    EXPECT_FALSE(port.WriteRaw(burst.data(), -1));
}

TEST_F(PortTest, PacketSpreadOverSeveralReads)
{
    Bytes frame = Frame({1, 2, 3, 4, 5, 6, 7, 8, 9});
    for (size_t at = 0; at < frame.size(); at += 4) {
        ASSERT_TRUE(pty.Write(Bytes(frame.begin() + at, frame.begin() + std::min(at + 4, frame.size()))));
        Clock::Sleep(20);   // lets the receive thread take each piece on its own
    }
    EXPECT_EQ(WaitTake(), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(PortTest, OnlyTheLatestOfTwoPacketsIsKept)
{
    ASSERT_TRUE(pty.Write(Frame({1})));
    ASSERT_TRUE(trace.WaitJudged(1));
    ASSERT_TRUE(pty.Write(Frame({2})));
    ASSERT_TRUE(trace.WaitJudged(2));
    EXPECT_EQ(Take(), Bytes{2});
    EXPECT_TRUE(Take().empty());
}

TEST_F(PortTest, WrongSumDropsThePacketAndTheUntakenOne)
{
    ASSERT_TRUE(pty.Write(Frame({1, 2})));
    ASSERT_TRUE(trace.WaitJudged(1));
    Bytes bad = Frame({3, 4});
    bad[2] ^= 0x01;   // SumA right, SumB wrong
    ASSERT_TRUE(pty.Write(bad));
    ASSERT_TRUE(trace.WaitJudged(2));
    EXPECT_EQ(trace.Entries().back().Kind, TraceKind::ReceivedInvalid);
    EXPECT_TRUE(Take().empty());
}

TEST_F(PortTest, SmallMaximumCutsThePayloadAndTakesThePacket)
{
    ASSERT_TRUE(pty.Write(Frame({1, 2, 3, 4, 5})));
    ASSERT_TRUE(trace.WaitJudged(1));
    EXPECT_EQ(Take(2), (Bytes{1, 2}));
    EXPECT_TRUE(Take().empty());
}

TEST_F(PortTest, PacketTextStopsAtZeroByte)
{
    ASSERT_TRUE(pty.Write(Frame({0x41, 0x00, 0x42})));
    std::string text = "old";
    ASSERT_TRUE(port.WaitPacketText(text, LongWait));
    EXPECT_EQ(text, "A");
    EXPECT_FALSE(port.GetPacketText(text));
    EXPECT_EQ(text, "");
}

TEST_F(PortTest, WaitWithTimeoutZeroTriesOnceWithoutWaiting)
{
    Clock::SetScale(1e-9, 1e-9);   // the tick counter stands still: a wait could never end
    uint8_t buffer[8];
    int32_t count = -1;
    EXPECT_FALSE(port.WaitPacket(buffer, 8, 0, count));

    ASSERT_TRUE(pty.Write(Frame({7})));
    ASSERT_TRUE(trace.WaitJudged(1));
    EXPECT_TRUE(port.WaitPacket(buffer, 8, 0, count));
    EXPECT_EQ(count, 1);
    std::string text;
    EXPECT_FALSE(port.WaitPacketText(text, 0));
}

// A stop lets the exchange under way end but starts no other: nothing more goes out, and a wait
// takes a reply already in without waiting for one.
TEST_F(PortTest, StopRequestEndsTheWorkAfterTheCurrentExchange)
{
    std::atomic<bool> stop{false};
    port.SetStopRequest(&stop);
    ASSERT_TRUE(pty.Write(Frame({5})));
    ASSERT_TRUE(trace.WaitJudged(1));
    stop = true;
    EXPECT_EQ(WaitTake(), (Bytes{5})) << "the reply of the exchange under way is still taken";

    Clock::SetScale(1e-9, 1e-9);   // the tick counter stands still: only a wait skipped can end
    EXPECT_TRUE(WaitTake(LongWait).empty());
    EXPECT_FALSE(port.SendPacket(Abc.data(), 3));
    EXPECT_FALSE(port.WriteRaw(Abc.data(), 3));
    stop = false;
    const uint8_t one = 1;
    ASSERT_TRUE(port.SendPacket(&one, 1));
    EXPECT_EQ(pty.Read(4), Frame({1})) << "nothing was sent while stopped";
}

TEST_F(PortTest, WaitTimesOutOnSilence)
{
    Clock::SetScale(100, 100);
    uint32_t start = Clock::TickCount();
    EXPECT_TRUE(WaitTake(1000).empty());
    EXPECT_GE(Clock::TickCount() - start, 1000u);
}

// Tests speed up reply timeouts once a request has gone out; a wait already running follows.
TEST_F(PortTest, WaitFollowsAChangeOfReplySpeed)
{
    Clock::SetScale(100);   // reply timeouts at real length: 10 s
    std::thread tester([] {
        Clock::Sleep(2000);   // 20 ms
        Clock::SetScale(100, 100);
    });
    uint32_t start = Clock::TickCount();
    EXPECT_TRUE(WaitTake(10000).empty());
    uint32_t took = Clock::TickCount() - start;
    tester.join();
    EXPECT_GE(took, 10000u);
    EXPECT_LT(took, 100000u) << "the wait kept its real 10 s";
}

TEST_F(PortTest, WaitTakesAReplyThatComesLater)
{
    std::thread peer([&] {
        Clock::Sleep(30);
        pty.Write(Frame({9, 9}));
    });
    EXPECT_EQ(WaitTake(), (Bytes{9, 9}));
    peer.join();
}

// During a wait the waiting thread takes the bytes; once it ends, the receive thread must take
// them again, or a packet that comes between waits would sit unjudged in the driver.
TEST_F(PortTest, PacketsBetweenWaitsAreStillJudged)
{
    std::thread peer([&] {
        Clock::Sleep(30);
        pty.Write(Frame({1}));
    });
    EXPECT_EQ(WaitTake(), Bytes{1});
    peer.join();
    ASSERT_TRUE(pty.Write(Frame({2})));
    ASSERT_TRUE(trace.WaitJudged(2)) << "nobody read the device after the wait";
    EXPECT_EQ(Take(), Bytes{2});
}

TEST_F(PortTest, IncompletePacketIsDroppedAfterTheGap)
{
    Clock::SetScale(100, 100);   // the 2000 ms gap is 20 ms
    ASSERT_TRUE(pty.Write(Bytes(AbcFrame.begin(), AbcFrame.begin() + 4)));
    Clock::Sleep(20000);   // 200 ms: well past the gap
    ASSERT_TRUE(pty.Write(AbcFrame));
    EXPECT_EQ(WaitTake(100000), Abc);
}

TEST_F(PortTest, BytesAfterACompletedPacketInTheSameReadStartANewOne)
{
    Bytes second = Frame({5, 6, 7});
    ASSERT_TRUE(pty.Write(Concat(AbcFrame, Bytes(second.begin(), second.begin() + 2))));
    ASSERT_TRUE(trace.WaitJudged(1));
    EXPECT_EQ(Take(), Abc) << "the completed packet stays takeable";
    ASSERT_TRUE(pty.Write(Bytes(second.begin() + 2, second.end())));
    EXPECT_EQ(WaitTake(), (Bytes{5, 6, 7}));
    EXPECT_EQ(trace.Entries().size(), 2u) << "no frame judged invalid";
}

TEST_F(PortTest, TwoPacketsInOneReadKeepTheSecond)
{
    ASSERT_TRUE(pty.Write(Concat(Frame({1}), Frame({2, 2}))));
    ASSERT_TRUE(trace.WaitJudged(2));
    EXPECT_EQ(Take(), (Bytes{2, 2}));
}

TEST_F(PortTest, PurgeDropsReadyAndPartialPackets)
{
    ASSERT_TRUE(pty.Write(Frame({1})));
    ASSERT_TRUE(trace.WaitJudged(1));
    port.Purge();
    EXPECT_TRUE(Take().empty());

    ASSERT_TRUE(pty.Write(Bytes(AbcFrame.begin(), AbcFrame.begin() + 2)));
    Clock::Sleep(20);
    port.Purge();
    ASSERT_TRUE(pty.Write(AbcFrame));
    EXPECT_EQ(WaitTake(), Abc);
}

TEST_F(PortTest, PacketEventOnlyWhenNotifyIsSet)
{
    std::atomic<int> calls{0};
    port.SetOnPacket([&] { ++calls; });
    port.Open(pty.SlavePath());   // the event is handed to the receive thread at Open
    ASSERT_FALSE(port.LastFailure());
    ASSERT_TRUE(pty.Write(Frame({1})));
    ASSERT_FALSE(WaitTake().empty());
    EXPECT_EQ(calls, 0);
    port.SetNotify(true);
    ASSERT_TRUE(pty.Write(Frame({2})));
    ASSERT_FALSE(WaitTake().empty());
    EXPECT_EQ(calls, 1);
    port.SetNotify(false);
    ASSERT_TRUE(pty.Write(Frame({3})));
    ASSERT_FALSE(WaitTake().empty());
    EXPECT_EQ(calls, 1);
}

TEST_F(PortTest, TraceRecordsWhatGoesOut)
{
    ASSERT_TRUE(port.SendPacket(Abc.data(), 3));
    uint8_t raw[2] = {0x5C, 0x5C};
    ASSERT_TRUE(port.WriteRaw(raw, 2));
    auto entries = trace.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Kind, TraceKind::Sent);
    EXPECT_EQ(entries[0].Frame, AbcFrame);
    EXPECT_EQ(entries[1].Kind, TraceKind::SentRaw);
    EXPECT_EQ(entries[1].Frame, (Bytes{0x5C, 0x5C}));
}

TEST_F(PortTest, TraceIsThePortsOwn)
{
    PtyPair otherPty;
    ASSERT_TRUE(otherPty.Ok());
    TComPort other(false, true);
    other.Open(otherPty.SlavePath());
    ASSERT_FALSE(other.LastFailure()) << PortErrorDetails(other);
    ASSERT_TRUE(other.SendPacket(Abc.data(), 3));
    ASSERT_TRUE(otherPty.Write(AbcFrame));
    uint8_t buffer[8];
    int32_t count = 0;
    ASSERT_TRUE(other.WaitPacket(buffer, 8, LongWait, count));
    other.Open("");   // closed: its receive thread has finished judging
    EXPECT_TRUE(trace.Entries().empty());
}

TEST(ClosedPort, DoesNothingAndFailsSends)
{
    TComPort port(false, true);
    EXPECT_FALSE(port.IsOpen());
    uint8_t buffer[4] = {1, 2, 3, 4};
    int32_t count = 9;
    EXPECT_FALSE(port.SendPacket(buffer, 4));
    EXPECT_FALSE(port.WriteRaw(buffer, 4));
    EXPECT_FALSE(port.GetPacket(buffer, 4, count));
    EXPECT_EQ(count, 0);
    port.Purge();
    port.SetNotify(true);
    Clock::SetScale(100, 100);
    EXPECT_FALSE(port.WaitPacket(buffer, 4, 100, count));
    Clock::Reset();
}
}   // namespace
