// Ctrl-C and SIGTERM against the simulated board, at the line's own pace: the work stops after the
// current exchange, the program says where and what that leaves, exits 130 and leaves the port
// free and the loader's store whole.
#include "tests/cli/CliFixture.h"

#include <csignal>
#include <cstdlib>

namespace {
struct InterruptCase {
    const char* Name;
    int Signal;
    bool BlockFullBefore;   // loader cases: the target block held another image
};
}   // namespace

class InterruptTest : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        StartSim({"--pace"});
    }

    RunResult Interrupted(std::vector<std::string> args, const std::string& at, int signal)
    {
        return CliScaled(std::move(args), "5", std::chrono::seconds(60), {at, signal});
    }
};

TEST_F(InterruptTest, ProgramStopsSaysWhereAndFreesThePort)
{
    RunResult r = Interrupted({"program", "--port", port}, "Программирование: 10%", SIGINT);
    EXPECT_EQ(r.Status, 130) << r.Out << r.Err;
    EXPECT_NE(r.Err.find("Работа остановлена: Программирование, "), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("табло осталось без рабочей программы: повторите запись программы."), std::string::npos)
        << r.Err;
    // The stop is not passed off as a lost board.
    EXPECT_EQ(r.Err.find("Соединение потеряно!"), std::string::npos) << r.Err;
    EXPECT_LT(CountRequests(0xC9), 304u);
    EXPECT_EQ(CountRequests(0xCA), 0u);

    // The port was closed cleanly: the next run takes it and programs the board.
    RunResult again = Cli({"program", "--port", port});
    EXPECT_EQ(again.Status, 0) << again.Out << again.Err;
}

class LoaderWriteInterrupt : public InterruptTest, public testing::WithParamInterface<InterruptCase> {};

TEST_P(LoaderWriteInterrupt, StoreStaysWholeAndTheBlockIsAsBeforeOrEmpty)
{
    const InterruptCase& c = GetParam();
    // Wine turns SIGINT into the console's Ctrl-C, but SIGTERM ends its process outright: Windows
    // has no such signal.
    if (c.Signal == SIGTERM && std::getenv("FLASHER_CLI_COMMAND")) GTEST_SKIP() << "no SIGTERM on Windows";
    Format();
    if (c.BlockFullBefore) {
        ASSERT_EQ(Cli({"--yes", "loader", "write", "--port", port, "--block", "2", "--name", "Прежний"}).Status, 0);
    }
    const auto before = Flash(BlockArea(2), 10256);
    const auto slotBefore = Flash(BlockSlot(2), 4);

    RunResult r = Interrupted({"--yes", "loader", "write", "--port", port, "--block", "2", "--name", "Новый"},
                              "Запись: 10%", c.Signal);
    EXPECT_EQ(r.Status, 130) << r.Out << r.Err;
    EXPECT_NE(r.Err.find("Работа остановлена: Запись, "), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("Блок №2 остался прежним или пустым"), std::string::npos) << r.Err;

    // The port is free and the directory valid: the list needs no format and shows the block
    // empty (or, had the write not begun, as before), never holding the new, incomplete image.
    RunResult list = Cli({"loader", "list", "--port", port});
    ASSERT_EQ(list.Status, 0) << list.Out << list.Err;
    EXPECT_EQ(list.Out.find("Отформатировать"), std::string::npos) << list.Out;
    EXPECT_EQ(list.Out.find("Новый"), std::string::npos) << list.Out;
    bool empty = list.Out.find("\n2   <ПУСТО>") != std::string::npos;
    bool asBefore = Flash(BlockSlot(2), 4) == slotBefore && Flash(BlockArea(2), 10256) == before;
    EXPECT_TRUE(empty || (c.BlockFullBefore && asBefore)) << list.Out;
}

INSTANTIATE_TEST_SUITE_P(Signals, LoaderWriteInterrupt,
                         testing::Values(InterruptCase{"CtrlCIntoEmptyBlock", SIGINT, false},
                                         InterruptCase{"CtrlCOverAnImage", SIGINT, true},
                                         InterruptCase{"TermOverAnImage", SIGTERM, true}),
                         [](const testing::TestParamInfo<InterruptCase>& info) { return info.param.Name; });
