// Two boards programmed at once from one process, each through a link of its own: neither link
// touches the other's board, and the two take about as long as one. The simulated lines are
// paced, so a run's length is set by the bytes it carries rather than by the machine's speed.
#include "board/BoardLink.h"
#include "board/BoardWorkflows.h"
#include "firmware/Firmware.h"
#include "fonts/FontFile.h"
#include "sim/BoardSim.h"
#include "tests/common/ScriptedDialogue.h"
#include "tests/common/SimulatedBoardTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

namespace {
// Pauses and line time run this many times faster: a run takes some 1.3 s of real time, nearly all
// of it line time, so even a loaded machine under sanitizers keeps pace with two boards at once.
// Reply timeouts keep their real length. The two boards are the test's own, not the base's one.
constexpr double Speedup = 20;

// One board on its own paced simulator, its own link and its own user.
class BoardUnderTest {
public:
    explicit BoardUnderTest(uint32_t seed)
    {
        SimOptions options;
        options.Pace = true;
        sim = std::make_unique<TBoardSim>(options);
        started = sim->Start();
        link = std::make_unique<TBoardLink>(sim->SlavePath());
        link->SeedRandom(seed);
    }
    void Program() { outcome = ProgramBoard(*link, EmbeddedFirmware(), ui, *fonts, false, ""); }

    // The program's framed requests, in order (the break-in burst, whose length varies, left out).
    std::vector<std::vector<uint8_t>> Requests() const
    {
        std::vector<std::vector<uint8_t>> requests;
        for (const WireRecord& r : ::Requests(*sim)) requests.push_back(r.Payload);
        return requests;
    }
    bool HoldsTheFirmware() const
    {
        std::vector<uint8_t> memory = sim->ProgramMemory();
        return std::equal(FirmwareImage.begin(), FirmwareImage.end(), memory.begin());
    }

    std::unique_ptr<TBoardSim> sim;
    bool started = false;
    std::unique_ptr<TBoardLink> link;
    ScriptedDialogue ui;
    std::unique_ptr<TFontSet> fonts = std::make_unique<TFontSet>();
    TOutcome outcome = TOutcome::Refused;
};

std::vector<uint8_t> Codes(const std::vector<std::vector<uint8_t>>& requests)
{
    std::vector<uint8_t> codes;
    for (const auto& r : requests) codes.push_back(r.empty() ? 0 : r[0]);
    return codes;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

class TwoBoards : public SimulatedBoardTest {
protected:
    TwoBoards() : SimulatedBoardTest(Speedup) {}

    static void ExpectProgrammed(const BoardUnderTest& board)
    {
        EXPECT_EQ(board.outcome, TOutcome::Done);
        EXPECT_EQ(board.ui.Ids, std::vector<TMessageId>{TMessageId::ProgrammingDone});
        EXPECT_TRUE(board.HoldsTheFirmware());
        EXPECT_FALSE(board.link->IsOpen());
    }
};

TEST_F(TwoBoards, ProgrammedAtOnceEachByItsOwnLinkInTheTimeOfOne)
{
    BoardUnderTest single(1);
    ASSERT_TRUE(single.started) << single.sim->ErrorText();
    auto start = std::chrono::steady_clock::now();
    single.Program();
    const double oneBoard = Seconds(std::chrono::steady_clock::now() - start);
    ExpectProgrammed(single);
    const auto reference = single.Requests();
    ASSERT_GT(reference.size(), 2u * 304);

    BoardUnderTest first(1), second(2);
    ASSERT_TRUE(first.started && second.started);
    start = std::chrono::steady_clock::now();
    std::thread other([&] { second.Program(); });
    first.Program();
    other.join();
    const double twoBoards = Seconds(std::chrono::steady_clock::now() - start);

    ExpectProgrammed(first);
    ExpectProgrammed(second);
    // Each board heard one whole programming, and only its own link's: the first link's random
    // source was seeded as the single run's, so its board heard exactly the single run's requests.
    EXPECT_EQ(first.Requests(), reference);
    EXPECT_EQ(Codes(second.Requests()), Codes(reference));
    EXPECT_NE(second.Requests().front(), reference.front());   // the reset's random bytes
    EXPECT_LT(twoBoards, 1.5 * oneBoard) << "one board " << oneBoard << " s, two at once " << twoBoards << " s";
    RecordProperty("OneBoardSeconds", std::to_string(oneBoard));
    RecordProperty("TwoBoardsSeconds", std::to_string(twoBoards));
}
}   // namespace
