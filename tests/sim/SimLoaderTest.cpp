// The board's loader through the program's port at the loader's rate: handshake, line rate,
// clock registers in BCD, flash chunks and the flash file.
#include "SimFixture.h"

#include "sim/SimFlash.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

class LoaderTest : public SimFixture {
protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        port.SetBaudIndex(2);
    }

    Bytes ReadClock(uint8_t first, uint8_t count) { return Ask(Request(0xA2, 8, {first, count, 1, 2, 3, 4, 5})); }

    static Bytes FlashRequest(uint8_t code, uint32_t address, uint8_t flags, std::initializer_list<uint8_t> rest)
    {
        Bytes b{code, static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8),
                static_cast<uint8_t>(address), flags};
        b.insert(b.end(), rest.begin(), rest.end());
        return b;
    }
};

TEST_F(LoaderTest, HandshakeAnswersConok)
{
    EXPECT_EQ(Ask(Request(0xA0, 9, {0xDE, 0xAD})), Text("CONOK"));
    EXPECT_TRUE(Unanswered(Request(0xA0, 8)));
}

TEST_F(LoaderTest, LoaderAnswersInTheRunningBoardAndInItsProgrammer)
{
    EXPECT_EQ(sim->Phase(), BoardPhase::Running);
    EXPECT_EQ(Ask(Request(0xA0, 9)), Text("CONOK"));
    port.SetBaudIndex(0);
    BreakIn();
    port.SetBaudIndex(2);
    EXPECT_EQ(Ask(Request(0xA0, 9)), Text("CONOK"));
}

TEST_F(LoaderTest, LoaderSwitchedOffAnswersNothingWhileTheProgrammerStillDoes)
{
    sim->SetLoaderOn(false);
    EXPECT_TRUE(Unanswered(Request(0xA0, 9)));
    port.SetBaudIndex(0);
    EXPECT_EQ(Ask(Request(0x12, 6)), Text("RSTOK"));
    sim->SetLoaderOn(true);
    port.SetBaudIndex(2);
    EXPECT_EQ(Ask(Request(0xA0, 9)), Text("CONOK"));
}

TEST_F(LoaderTest, BaudRequestIsAnsweredAtTheOldRateAndTheNewRateHoldsAfterIt)
{
    EXPECT_EQ(sim->LoaderBaud(), 38400u);
    EXPECT_EQ(Ask(Request(0xA9, 2, {4})), Text("BAUOK"));
    EXPECT_EQ(sim->LoaderBaud(), 115200u);
    EXPECT_EQ(sim->WireLog().back().Baud, 38400u);
    EXPECT_TRUE(Unanswered(Request(0xA0, 9)));   // still at 38400: garbage now
    EXPECT_FALSE(sim->WireLog().back().Valid);
    port.SetBaudIndex(4);
    EXPECT_EQ(Ask(Request(0xA0, 9)), Text("CONOK"));
}

TEST_F(LoaderTest, BaudSwitchTo28800IsReadThroughTermios2)
{
    EXPECT_EQ(Ask(Request(0xA9, 2, {1})), Text("BAUOK"));
    port.SetBaudIndex(1);
    EXPECT_EQ(sim->ProgramBaud(), 28800u);
    EXPECT_EQ(Ask(Request(0xA0, 9)), Text("CONOK"));
}

TEST_F(LoaderTest, ReplyAtARateThePortIsNotSetToNeverArrives)
{
    // The program switches its side before the loader has answered: the answer is noise to it.
    sim->AddFault(FaultRule{0xA9, 1, 1, FaultKind::Late, 3000});
    ASSERT_TRUE(port.SendPacket(Request(0xA9, 2, {3}).data(), 2));
    ASSERT_TRUE(WaitForRecords(1));
    port.SetBaudIndex(3);
    EXPECT_TRUE(WaitForRecords(2));
    EXPECT_FALSE(sim->WireLog().back().FromProgram);
    EXPECT_FALSE(sim->WireLog().back().Valid);
    uint8_t buffer[64];
    int32_t count = 0;
    EXPECT_FALSE(port.GetPacket(buffer, sizeof buffer, count));
    EXPECT_EQ(Ask(Request(0xA0, 9)), Text("CONOK"));
}

TEST_F(LoaderTest, BaudIndexOutOfTableIsUnanswered)
{
    EXPECT_TRUE(Unanswered(Request(0xA9, 2, {5})));
    EXPECT_EQ(sim->LoaderBaud(), 38400u);
}

TEST_F(LoaderTest, BoardRestartBringsTheLoaderBackToItsDefaultRate)
{
    EXPECT_EQ(Ask(Request(0xA9, 2, {0})), Text("BAUOK"));
    EXPECT_EQ(sim->LoaderBaud(), 19200u);
    port.SetBaudIndex(0);
    EXPECT_EQ(Ask(Request(0x12, 6)), Text("RSTOK"));
    EXPECT_EQ(sim->LoaderBaud(), 38400u);
}

// The clock register tests compare whole registers: the board's clock runs at real speed here,
// so that a loaded machine cannot carry it past a minute.
class ClockTest : public LoaderTest {
protected:
    void SetUp() override
    {
        LoaderTest::SetUp();
        Clock::SetScale(1);
    }
};

TEST_F(ClockTest, RegistersReadInBcdWithTheIsoDayOfWeek)
{
    sim->SetClock(2023, 12, 31, 23, 29, 30);
    Bytes regs = ReadClock(0, 8);
    ASSERT_EQ(regs.size(), 8u);
    EXPECT_GE(regs[0], 0x30);
    EXPECT_LE(regs[0], 0x59);
    EXPECT_EQ(Bytes(regs.begin() + 1, regs.end()), (Bytes{0x29, 0x23, 7, 0x31, 0x12, 0x23, 0x00}));
    EXPECT_EQ(ReadClock(4, 3), (Bytes{0x31, 0x12, 0x23}));
}

TEST_F(LoaderTest, ClockRunsWithTheTicksAcrossTheNewYear)
{
    // 100 times fast: three seconds of the clock pass in 30 ms.
    sim->SetClock(2023, 12, 31, 23, 59, 58);
    Clock::Sleep(3000);
    Bytes regs = ReadClock(0, 8);
    ASSERT_EQ(regs.size(), 8u);
    EXPECT_LT(regs[1], 0x10);   // however loaded the machine, not ten minutes on
    EXPECT_EQ(Bytes(regs.begin() + 2, regs.end()), (Bytes{0x00, 1, 0x01, 0x01, 0x24, 0x00}));
}

struct HourCase {
    int Hour;
    uint8_t Register;
};

class TwelveHourTest : public ClockTest, public ::testing::WithParamInterface<HourCase> {};

TEST_P(TwelveHourTest, HoursRegisterInTwelveHourForm)
{
    sim->SetTwelveHourClock(true);
    sim->SetClock(2024, 2, 29, GetParam().Hour, 10, 0);
    Bytes regs = ReadClock(2, 1);
    ASSERT_EQ(regs.size(), 1u);
    EXPECT_EQ(regs[0], GetParam().Register);
}

INSTANTIATE_TEST_SUITE_P(Hours, TwelveHourTest,
                         ::testing::Values(HourCase{0, 0x52}, HourCase{1, 0x41}, HourCase{11, 0x51}, HourCase{12, 0x72},
                                           HourCase{15, 0x63}, HourCase{23, 0x71}));

TEST_F(ClockTest, WrittenRegistersRunOnAndAWrite24HourFormLeavesTheTwelveHourForm)
{
    sim->SetTwelveHourClock(true);
    // 2024-03-15 (a Friday) 14:05:00, day of week written wrong on purpose.
    Bytes write{0xA3, 0, 0x00, 0x05, 0x14, 1, 0x15, 0x03, 0x24, 0x00};
    EXPECT_EQ(Ask(write), Text("CLKOK"));
    Bytes regs = ReadClock(0, 8);
    ASSERT_EQ(regs.size(), 8u);
    EXPECT_EQ(Bytes(regs.begin() + 1, regs.end()), (Bytes{0x05, 0x14, 5, 0x15, 0x03, 0x24, 0x00}));
    // The 12-hour form written back: 2 PM.
    EXPECT_EQ(Ask(Bytes{0xA3, 2, 0x62}), Text("CLKOK"));
    EXPECT_EQ(ReadClock(2, 1), Bytes{0x62});
}

TEST_F(LoaderTest, BatteryBytesAfterTheClockKeepWhatIsWritten)
{
    EXPECT_EQ(Ask(Bytes{0xA3, 8, 1, 2, 3}), Text("CLKOK"));
    EXPECT_EQ(ReadClock(8, 3), (Bytes{1, 2, 3}));
}

struct UnansweredCase {
    const char* Name;
    Bytes Request;
};

class LoaderUnansweredTest : public LoaderTest, public ::testing::WithParamInterface<UnansweredCase> {};

TEST_P(LoaderUnansweredTest, GetsNoReply) { EXPECT_TRUE(Unanswered(GetParam().Request)); }

Bytes FlashRead(uint8_t code, uint32_t address, uint8_t count)
{
    return Bytes{
        code, static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), 0,
        count};
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Requests, LoaderUnansweredTest,
    ::testing::Values(UnansweredCase{"ClockCountZero", Request(0xA2, 8, {0, 0})},
                      UnansweredCase{"ClockCount17", Request(0xA2, 8, {0, 17})},
                      UnansweredCase{"ClockPastTheLastRegister", Request(0xA2, 8, {60, 8})},
                      UnansweredCase{"ClockWriteOf17", Request(0xA3, 19)},
                      UnansweredCase{"ClockWriteOfNothing", Request(0xA3, 2)},
                      UnansweredCase{"FlashCount33", FlashRead(0xA7, 0, 33)},
                      UnansweredCase{"FlashCountZero", FlashRead(0xA7, 0, 0)},
                      UnansweredCase{"FlashPastTheEnd", FlashRead(0xA7, sim::FlashSize - 16, 32)},
                      UnansweredCase{"PagedPastTheEnd", FlashRead(0xA5, sim::FlashSize, 1)},
                      UnansweredCase{"FlashWriteOf33", Request(0xA6, 38)},
                      UnansweredCase{"UnusedCode", Request(0xA1, 6)}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

TEST_F(LoaderTest, FreshFlashReadsErased)
{
    EXPECT_EQ(Ask(FlashRead(0xA7, 0, 32)), Bytes(32, 0xFF));
    EXPECT_EQ(Ask(FlashRead(0xA7, sim::FlashSize - 32, 32)), Bytes(32, 0xFF));
}

TEST_F(LoaderTest, FlashChunkWrittenIsReadBackBothWays)
{
    EXPECT_EQ(Ask(FlashRequest(0xA6, 2160576, 0x06, {1, 2, 3, 4})), Text("FLHOK"));
    EXPECT_EQ(sim->Flash(2160576, 5), (Bytes{1, 2, 3, 4, 0xFF}));
    EXPECT_EQ(Ask(FlashRead(0xA7, 2160576, 4)), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(Ask(FlashRead(0xA5, 2160576, 4)), (Bytes{1, 2, 3, 4}));
}

TEST_F(LoaderTest, PagedAccessWrapsInsideItsPageWhileLinearReadsRunOn)
{
    sim->WriteFlashBytes(528, {0xA0, 0xA1});
    sim->WriteFlashBytes(1056, {0xB0, 0xB1});
    EXPECT_EQ(Ask(FlashRead(0xA5, 1054, 4)), (Bytes{0xFF, 0xFF, 0xA0, 0xA1}));
    EXPECT_EQ(Ask(FlashRead(0xA7, 1054, 4)), (Bytes{0xFF, 0xFF, 0xB0, 0xB1}));
    EXPECT_EQ(Ask(FlashRequest(0xA6, 1055, 0x06, {1, 2, 3})), Text("FLHOK"));
    EXPECT_EQ(sim->Flash(1055, 2), (Bytes{1, 0xB0}));
    EXPECT_EQ(sim->Flash(528, 2), (Bytes{2, 3}));
}

TEST_F(SimFixture, LoaderFaultsShapeItsReplies)
{
    port.SetBaudIndex(2);
    sim->AddFault(FaultRule{0xA0, 1, 1, FaultKind::WrongCase, 0});
    sim->AddFault(FaultRule{0xA2, 1, 1, FaultKind::Malformed, 0});
    sim->AddFault(FaultRule{0xA7, 1, 1, FaultKind::ZeroData, 0});
    sim->WriteFlashBytes(0, {1, 2, 3});
    EXPECT_EQ(Ask(Request(0xA0, 9)), Text("conok"));
    EXPECT_EQ(Ask(Request(0xA2, 8, {0, 8})).size(), 7u);
    EXPECT_EQ(Ask(FlashRead(0xA7, 0, 3)), Bytes(3, 0));
}

class FlashFileTest : public LoaderTest {
protected:
    SimOptions Options() const override
    {
        SimOptions o;
        o.FlashFile = file;
        return o;
    }
    void TearDown() override
    {
        LoaderTest::TearDown();
        std::filesystem::remove(file);
    }
    Bytes FileBytes() const
    {
        std::ifstream in(file, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    std::string file = ::testing::TempDir() + "board-sim-flash-" + std::to_string(::getpid()) + ".bin";
};

TEST_F(FlashFileTest, WrittenChunksSurviveARestartOfTheSimulator)
{
    ASSERT_EQ(FileBytes(), Bytes(sim::FlashSize, 0xFF));   // a missing file is made erased at the start
    EXPECT_EQ(Ask(FlashRequest(0xA6, 530, 0x06, {7, 8, 9})), Text("FLHOK"));
    port.Open("");
    sim->Stop();
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::file_size(file), sim::FlashSize);
    EXPECT_FALSE(std::filesystem::exists(file + ".tmp"));

    TBoardSim again(Options());
    ASSERT_TRUE(again.Start()) << again.ErrorText();
    EXPECT_EQ(again.Flash(529, 5), (Bytes{0xFF, 7, 8, 9, 0xFF}));
}

// No save to wait for: what the loader answered for is in the file by the time the answer is.
TEST_F(FlashFileTest, FileHoldsAWriteOnceItIsAnswered)
{
    EXPECT_EQ(Ask(FlashRequest(0xA6, 0, 0x06, {0x55, 0x66})), Text("FLHOK"));
    const Bytes bytes = FileBytes();
    ASSERT_EQ(bytes.size(), sim::FlashSize);
    EXPECT_EQ(bytes[0], 0x55);
    EXPECT_EQ(bytes[1], 0x66);
    sim->WriteFlashBytes(sim::FlashSize - 1, {0x77});
    EXPECT_EQ(FileBytes().back(), 0x77);
}

TEST_F(FlashFileTest, FileOfAnotherSizeIsRefused)
{
    {
        std::ofstream out(file, std::ios::binary);
        out << "not a flash";
    }
    TBoardSim other(Options());
    EXPECT_FALSE(other.Start());
    EXPECT_NE(other.ErrorText(), "");
    EXPECT_EQ(std::filesystem::file_size(file), 11u);

    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    EXPECT_FALSE(other.Start());
    EXPECT_NE(other.ErrorText(), "");
    std::filesystem::remove(file);
}

}   // namespace
