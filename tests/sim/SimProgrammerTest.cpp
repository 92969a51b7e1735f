// The board's resident programmer, driven through the program's own port.
#include "SimFixture.h"

namespace {

using ProgrammerTest = SimFixture;

TEST_F(ProgrammerTest, RunningBoardAnswersResetAndNothingElse)
{
    EXPECT_EQ(sim->Phase(), BoardPhase::Running);
    EXPECT_EQ(Ask(Request(0x12, 6, {9, 8, 7, 6, 5})), Text("RSTOK"));
    EXPECT_TRUE(Unanswered(Request(0xC8, 8)));
    EXPECT_TRUE(Unanswered(Request(0xD0, 8)));
    EXPECT_TRUE(Unanswered(Request(0x12, 7)));   // wrong length
}

TEST_F(ProgrammerTest, BreakInIsOneRawRecordAndThenThePingIsAnswered)
{
    uint32_t start = Clock::TickCount();
    BreakIn(3000);
    EXPECT_EQ(Ask(Request(0xC8, 8)), Text("OK!"));
    std::vector<WireRecord> log = sim->WireLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(log[0].Raw);
    EXPECT_TRUE(log[0].Valid);
    EXPECT_EQ(log[0].RawCount, 3000u);
    EXPECT_LE(log[0].FirstTick - start, log[0].Tick - start);
    EXPECT_GE(log[1].Tick - log[0].Tick, 1000u);   // the quiet second came between
    EXPECT_EQ(log[1].Command(), 0xC8);
    EXPECT_FALSE(log[2].FromProgram);
    EXPECT_EQ(log[2].Payload, Text("OK!"));
    // The programmer does not know the running program's reset.
    EXPECT_TRUE(Unanswered(Request(0x12, 6)));
}

TEST_F(ProgrammerTest, BoardWaitsForAQuietSecondAfterTheBurstAndSwallowsWhatComesMeanwhile)
{
    // A ping right behind the burst, in the same write, so it surely falls inside the quiet second.
    Bytes bytes(256, 0x5C);
    const Bytes ping{0x0B, 0xC8, 0xC8, 0xC8, 0, 0, 0, 0, 0, 0, 0};
    bytes.insert(bytes.end(), ping.begin(), ping.end());
    uint32_t before = Clock::TickCount();
    ASSERT_TRUE(port.WriteRaw(bytes.data(), static_cast<int32_t>(bytes.size())));
    ASSERT_TRUE(WaitForPhase(BoardPhase::Programmer));
    EXPECT_GE(Clock::TickCount() - before, 1000u);
    std::vector<WireRecord> log = sim->WireLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0].Raw);
    EXPECT_EQ(log[0].RawCount, bytes.size());
    std::string text;
    EXPECT_FALSE(port.GetPacketText(text));
}

TEST_F(ProgrammerTest, ShortRunOf0x5CIsNoBreakIn)
{
    // 40 bytes 0x5C open a frame of length 0x5C; 52 more bytes end it.
    Bytes bytes(40, 0x5C);
    bytes.resize(92, 0x00);
    ASSERT_TRUE(port.WriteRaw(bytes.data(), static_cast<int32_t>(bytes.size())));
    ASSERT_TRUE(WaitForRecords(1));
    EXPECT_FALSE(sim->WireLog()[0].Raw);
    EXPECT_FALSE(sim->WireLog()[0].Valid);
    EXPECT_EQ(sim->Phase(), BoardPhase::Running);
    EXPECT_EQ(Ask(Request(0x12, 6)), Text("RSTOK"));
}

struct CommandCase {
    const char* Name;
    Bytes Payload;
    Bytes Reply;   // empty: no reply
};

class ProgrammerCommandTest : public SimFixture, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(ProgrammerCommandTest, AnswersAsTheBoardDoes)
{
    BreakIn();
    const CommandCase& c = GetParam();
    if (c.Reply.empty()) {
        EXPECT_TRUE(Unanswered(c.Payload));
    } else {
        EXPECT_EQ(Ask(c.Payload), c.Reply);
    }
}

Bytes Prepare(uint8_t first, uint8_t second)
{
    Bytes b = Request(0xD2, 35, {first, second});
    for (size_t i = 3; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 11);
    return b;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Commands, ProgrammerCommandTest,
    ::testing::Values(CommandCase{"Ping", Request(0xC8, 8), Text("OK!")},
                      CommandCase{"PingTooLong", Request(0xC8, 9), {}},
                      CommandCase{"Version", Request(0xD0, 8), Bytes{0x09, '4', '0'}},
                      CommandCase{"VersionTooShort", Request(0xD0, 7), {}},
                      CommandCase{"Preamble", Request(0xD5, 20, {1, 2, 3}), Text("OK!")},
                      CommandCase{"PreambleTooShort", Request(0xD5, 19), {}},
                      CommandCase{"ConfirmPreamble", Request(0xD6, 16), Text("OK!")},
                      CommandCase{"Prepare", Prepare(0x5E, 0x3C), Text("OK!")},
                      CommandCase{"PrepareWrongCode", Prepare(0x5E, 0x3D), Text("BAD")},
                      CommandCase{"PrepareTooShort", Request(0xD2, 34, {0x5E, 0x3C}), {}},
                      CommandCase{"ProgramTooShort", Request(0xC9, 34), {}},
                      CommandCase{"RamReadTooLong", Request(0xD4, 35), {}},
                      CommandCase{"Start", Request(0xCD, 8), {}},
                      CommandCase{"UnknownCode", Request(0xC7, 8), {}}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

TEST_F(ProgrammerTest, StartLeavesTheProgrammerAndTheBoardAnswersResetAgain)
{
    BreakIn();
    EXPECT_TRUE(Unanswered(Request(0xCD, 8)));
    EXPECT_EQ(sim->Phase(), BoardPhase::Running);
    EXPECT_EQ(Ask(Request(0x12, 6)), Text("RSTOK"));
    EXPECT_TRUE(Unanswered(Request(0xC8, 8)));
}

struct MemoryCase {
    const char* Name;
    uint8_t Write, Verify;
    std::vector<uint8_t> (TBoardSim::*Memory)() const;
};

class BlockTest : public SimFixture, public ::testing::WithParamInterface<MemoryCase> {};

Bytes BlockData(uint8_t seed)
{
    Bytes b;
    for (int i = 0; i < 32; ++i) b.push_back(static_cast<uint8_t>(seed + i * 7));
    return b;
}

Bytes Block(uint8_t code, uint16_t address, uint8_t seed)
{
    Bytes b{code, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    Bytes data = BlockData(seed);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

TEST_P(BlockTest, WrittenBlockLandsAtItsAddressAndVerifiesOnlyWhenEqual)
{
    const MemoryCase& c = GetParam();
    BreakIn();
    EXPECT_EQ(Ask(Block(c.Write, 0xA620, 5)), Text("OK!"));
    Bytes memory = ((*sim).*c.Memory)();
    ASSERT_EQ(memory.size(), 65536u);
    EXPECT_EQ(Bytes(memory.begin() + 0xA620, memory.begin() + 0xA640), BlockData(5));
    EXPECT_EQ(memory[0xA61F], 0xFF);
    EXPECT_EQ(memory[0xA640], 0xFF);
    EXPECT_EQ(Ask(Block(c.Verify, 0xA620, 5)), Text("OK!"));
    EXPECT_EQ(Ask(Block(c.Verify, 0xA620, 6)), Text("BAD"));
    EXPECT_EQ(Ask(Block(c.Verify, 0xA640, 5)), Text("BAD"));
}

INSTANTIATE_TEST_SUITE_P(Memories, BlockTest,
                         ::testing::Values(MemoryCase{"Program", 0xC9, 0xCA, &TBoardSim::ProgramMemory},
                                           MemoryCase{"Data", 0xCE, 0xCF, &TBoardSim::DataMemory}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ProgrammerTest, ProgramAndDataMemoriesAreSeparate)
{
    BreakIn();
    EXPECT_EQ(Ask(Block(0xC9, 0x0000, 1)), Text("OK!"));
    EXPECT_EQ(Ask(Block(0xCF, 0x0000, 1)), Text("BAD"));
    EXPECT_EQ(sim->DataMemory()[0], 0xFF);
}

TEST_F(ProgrammerTest, RamBlocksUseTheAddressMaskedTo32ByteBlocksIn32KiB)
{
    BreakIn();
    EXPECT_EQ(Ask(Block(0xD3, 0x8125, 9)), Text("OK!"));   // lands at 0x0120
    Bytes ram = sim->Ram();
    ASSERT_EQ(ram.size(), 32768u);
    EXPECT_EQ(ram[0x0120], 9);
    Bytes reply = Ask(Request(0xD4, 8, {0x01, 0x3F}));
    ASSERT_EQ(reply.size(), 33u);
    EXPECT_EQ(reply[0], 0x03);
    EXPECT_EQ(Bytes(reply.begin() + 1, reply.end()), BlockData(9));
}

TEST_F(ProgrammerTest, BrokenRamBitsReadAsZero)
{
    sim->BreakRamBits(0x0021, 0x81);
    BreakIn();
    EXPECT_EQ(Ask(Block(0xD3, 0x0020, 0xFF)), Text("OK!"));
    Bytes reply = Ask(Request(0xD4, 8, {0x00, 0x20}));
    ASSERT_EQ(reply.size(), 33u);
    EXPECT_EQ(reply[2], BlockData(0xFF)[1] & 0x7E);
    EXPECT_EQ(sim->Ram()[0x21], BlockData(0xFF)[1] & 0x7E);
}

TEST_F(ProgrammerTest, ConfigurationBlocksAreThe32ByteSlicesOfTheArea)
{
    BreakIn();
    Bytes area = sim->ConfigArea();
    ASSERT_EQ(area.size(), 256u);
    for (uint8_t index : {0, 3, 7}) {
        Bytes reply = Ask(Request(0xD1, 8, {static_cast<uint8_t>(index * 32 + 5)}));
        ASSERT_EQ(reply.size(), 33u);
        EXPECT_EQ(reply[0], 0x02);
        EXPECT_EQ(Bytes(reply.begin() + 1, reply.end()),
                  Bytes(area.begin() + index * 32, area.begin() + index * 32 + 32));
    }
}

TEST_F(ProgrammerTest, VersionReplyCanBeSwitchedOff)
{
    BreakIn();
    sim->SetVersionReply(false);
    EXPECT_TRUE(Unanswered(Request(0xD0, 8)));
    EXPECT_EQ(Ask(Request(0xC8, 8)), Text("OK!"));
}

class VersionTest : public SimFixture {
protected:
    SimOptions Options() const override
    {
        SimOptions o;
        o.VersionMajor = '3';
        o.VersionMinor = '9';
        return o;
    }
};

TEST_F(VersionTest, VersionDigitsComeFromTheOptions)
{
    BreakIn();
    EXPECT_EQ(Ask(Request(0xD0, 8)), (Bytes{0x09, '3', '9'}));
}

TEST_F(ProgrammerTest, BoardSwitchedOffAnswersNothingAndIgnoresTheBurst)
{
    sim->SetBoardOn(false);
    EXPECT_EQ(sim->Phase(), BoardPhase::Off);
    EXPECT_TRUE(Unanswered(Request(0x12, 6)));
    Bytes burst(512, 0x5C);
    ASSERT_TRUE(port.WriteRaw(burst.data(), static_cast<int32_t>(burst.size())));
    ASSERT_TRUE(WaitForRecords(2));   // the burst is on the wire, the board does not care
    EXPECT_EQ(sim->Phase(), BoardPhase::Off);
    port.SetBaudIndex(2);
    EXPECT_TRUE(Unanswered(Request(0xA0, 9)));   // nor does its loader
    port.SetBaudIndex(0);
    sim->SetBoardOn(true);
    EXPECT_EQ(sim->Phase(), BoardPhase::Running);
    EXPECT_EQ(Ask(Request(0x12, 6)), Text("RSTOK"));
}

TEST_F(ProgrammerTest, RequestAtAnotherRateIsGarbageToTheBoard)
{
    port.SetBaudIndex(2);
    EXPECT_TRUE(Unanswered(Request(0x12, 6)));
    WireRecord r = sim->WireLog().back();
    EXPECT_FALSE(r.Valid);
    EXPECT_EQ(r.Baud, 38400u);
    EXPECT_EQ(sim->ProgramBaud(), 38400u);
    // A burst at the wrong rate catches nothing either.
    Bytes burst(512, 0x5C);
    ASSERT_TRUE(port.WriteRaw(burst.data(), static_cast<int32_t>(burst.size())));
    ASSERT_TRUE(WaitForRecords(2));
    EXPECT_FALSE(sim->WireLog().back().Valid);
    EXPECT_EQ(sim->Phase(), BoardPhase::Running);
}

}   // namespace
