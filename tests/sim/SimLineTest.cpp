// The line itself: the port closed and reopened, the frame gap, the wire log's listener, and
// pacing to the line rate.
#include "SimFixture.h"

#include <mutex>

namespace {

using LineTest = SimFixture;

TEST_F(LineTest, ProgramMayCloseAndReopenThePort)
{
    EXPECT_EQ(Ask(Request(0x12, 6)), Text("RSTOK"));
    port.Open("");
    EXPECT_EQ(sim->Phase(), BoardPhase::Running);
    OpenPort();
    EXPECT_EQ(Ask(Request(0x12, 6)), Text("RSTOK"));
}

TEST_F(LineTest, IncompleteFrameIsDroppedAfterTheGapAndTheNextFrameIsHeard)
{
    Clock::SetScale(100, 100);   // this test is about the gap: let it pass quickly
    const uint8_t start[] = {0x09, 0x21};
    uint32_t sent = Clock::TickCount();
    ASSERT_TRUE(port.WriteRaw(start, 2));
    ASSERT_TRUE(WaitForRecords(1));
    EXPECT_GE(Clock::TickCount() - sent, 2000u);
    WireRecord dropped = sim->WireLog()[0];
    EXPECT_FALSE(dropped.Valid);
    EXPECT_TRUE(dropped.Payload.empty());
    EXPECT_EQ(Ask(Request(0x12, 6)), Text("RSTOK"));
}

TEST_F(LineTest, ListenerSeesEveryRecordAsItIsLogged)
{
    std::vector<WireRecord> heard;
    std::mutex lock;
    sim->SetWireListener([&](const WireRecord& r) {
        std::lock_guard g(lock);
        heard.push_back(r);
    });
    EXPECT_EQ(Ask(Request(0x12, 6, {1, 2, 3, 4, 5})), Text("RSTOK"));
    sim->SetWireListener(nullptr);
    std::lock_guard g(lock);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].Payload, (Bytes{0x12, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(heard[0].FromProgram);
    EXPECT_FALSE(heard[1].FromProgram);
    EXPECT_EQ(heard[1].Payload, Text("RSTOK"));
    EXPECT_EQ(sim->WireLog().size(), 2u);
    sim->ClearWireLog();
    EXPECT_TRUE(sim->WireLog().empty());
}

// The listener runs without the simulator's lock, so it may ask the simulator (a test switching
// faults or reading the log as requests come); each record is in the log by the time it is heard,
// and the reply is heard before the program has it.
TEST_F(LineTest, ListenerMayCallTheSimulator)
{
    std::vector<size_t> logged;   // the log's length as each record was heard
    std::mutex lock;
    sim->SetWireListener([&](const WireRecord&) {
        size_t size = sim->WireLog().size();
        std::lock_guard g(lock);
        logged.push_back(size);
    });
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Ask(Request(0x12, 6)), Text("RSTOK"));
        std::lock_guard g(lock);
        EXPECT_EQ(logged.size(), 2u * (i + 1));
    }
    sim->SetWireListener(nullptr);
    std::lock_guard g(lock);
    for (size_t k = 0; k < logged.size(); ++k) EXPECT_GE(logged[k], k + 1) << k;
}

// Paced at a tenth of real time: a healthy exchange is never near a timeout, and each line
// time is still long against the machine's own delays.
class PacedTest : public SimFixture {
protected:
    SimOptions Options() const override
    {
        SimOptions o;
        o.Pace = true;
        return o;
    }
    void SetUp() override
    {
        SimFixture::SetUp();
        Clock::SetScale(10);
    }
    static double LineTicks(size_t bytes, double baud) { return static_cast<double>(bytes) * 11.0 * 1000.0 / baud; }
};

TEST_F(PacedTest, ThousandBytesFromTheProgramTakeTheirLineTime)
{
    // Four frames of 250 bytes that the board does not answer, then a reset.
    Bytes filler = Request(0xB0, 247);
    uint32_t start = Clock::TickCount();
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(port.SendPacket(filler.data(), 247));
    EXPECT_EQ(Ask(Request(0x12, 6)), Text("RSTOK"));
    uint32_t elapsed = Clock::TickCount() - start;
    std::vector<WireRecord> log = sim->WireLog();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_GE(static_cast<double>(log[3].Tick - start), LineTicks(1000, 19200) - 1);
    EXPECT_GE(static_cast<double>(elapsed), LineTicks(1000 + 9 + 8, 19200) - 1);
    // Loosely: an order of magnitude off would be a pacing by bits instead of bytes.
    EXPECT_LT(static_cast<double>(elapsed), 10 * LineTicks(1000 + 9 + 8, 19200));
}

TEST_F(PacedTest, RepliesLeaveNoFasterThanTheLineAtTheLoaderRate)
{
    port.SetBaudIndex(2);
    const Bytes read{0xA7, 0, 0, 0, 0x02, 32};
    uint32_t start = Clock::TickCount();
    for (int i = 0; i < 20; ++i) ASSERT_EQ(Ask(read).size(), 32u);
    uint32_t elapsed = Clock::TickCount() - start;
    EXPECT_GE(static_cast<double>(elapsed), 20 * LineTicks(9 + 35, 38400) - 1);
    std::vector<WireRecord> log = sim->WireLog();
    ASSERT_EQ(log.size(), 40u);
    for (size_t i = 0; i < log.size(); i += 2)
        EXPECT_GE(static_cast<double>(log[i + 1].Tick - log[i].Tick), LineTicks(35, 38400) - 1);
}

TEST_F(PacedTest, ReplyStartsTheMomentItsRequestIsInWhateverTheThreadsWakeUp)
{
    // Both are line times, not the moments the serving thread got round to them: a reply's first
    // byte is in one byte time (0.57 ms at 19200) after its request's last.
    for (int i = 0; i < 20; ++i) ASSERT_EQ(Ask(Request(0x12, 6)), Text("RSTOK"));
    std::vector<WireRecord> log = sim->WireLog();
    ASSERT_EQ(log.size(), 40u);
    for (size_t i = 0; i < log.size(); i += 2) {
        ASSERT_TRUE(log[i].FromProgram);
        EXPECT_LE(log[i + 1].FirstTick - log[i].Tick, 1u) << "exchange " << i / 2;
    }
}

TEST_F(PacedTest, FloodFasterThanTheLineIsCutAndTheBoardIsStillCaught)
{
    Bytes burst(8192, 0x5C);
    ASSERT_TRUE(port.WriteRaw(burst.data(), static_cast<int32_t>(burst.size())));
    ASSERT_TRUE(WaitForPhase(BoardPhase::Programmer));
    std::vector<WireRecord> log = sim->WireLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0].Raw);
    EXPECT_LT(log[0].RawCount, 8192u);
    EXPECT_GE(log[0].RawCount, 64u);
    EXPECT_EQ(Ask(Request(0xC8, 8)), Text("OK!"));
}

}   // namespace
