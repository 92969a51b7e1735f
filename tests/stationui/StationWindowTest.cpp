// The station window over simulated boards: tiles follow the boards plugged in, programmed and
// pulled out, the counters follow the boards, a slot's log says what happened, closing asks while
// boards work, and sixteen slots' progress never floods the window's thread.
#include "tests/stationui/StationWindowFixture.h"

#include "station/StationJob.h"
#include "stationui/SlotLogWindow.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <thread>

namespace {
constexpr uint8_t ProgramBlock = 0xC9;

// From the 100th of its 304 program blocks on (a third of the way) the board stays silent: its job
// keeps waiting for replies, its gauge at 33%.
constexpr size_t StallBlock = 100;
void StallAtAThird(TBoardSim& sim)
{
    sim.AddFault({ProgramBlock, static_cast<int>(StallBlock), -1, FaultKind::Silent, 0});
}

size_t ProgramBlocksHeard(const TBoardSim& sim)
{
    size_t count = 0;
    for (const WireRecord& r : sim.WireLog()) count += r.FromProgram && r.Valid && r.Command() == ProgramBlock;
    return count;
}
}   // namespace

TEST_F(StationWindowTest, TilesFollowBoardsPluggedProgrammedAndPulled)
{
    WriteStation({"A1", "A2"});
    AddBoard("A1");
    AddBoard("A2");
    TStationWindow& w = Open();
    EXPECT_EQ(Tile("A1").State(), TSlotState::Idle);
    EXPECT_EQ(Text(Tile("A1").StateLabel->text()), "ожидание");
    EXPECT_EQ(Text(w.PassedLabel->text()), "0");
    EXPECT_EQ(Text(w.YieldLabel->text()), "—");

    Plug("A1");
    ASSERT_TRUE(WaitState("A1", TSlotState::Passed)) << Text(Tile("A1").StateLabel->text());
    EXPECT_EQ(Text(Tile("A1").StateLabel->text()), "годна");
    EXPECT_NE(Text(Tile("A1").LastLabel->text()).find("последняя: годна"), std::string::npos);
    EXPECT_EQ(Tile("A2").State(), TSlotState::Idle);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Text(w.PassedLabel->text()) == "1"; }, 2000));
    EXPECT_EQ(Text(w.FailedLabel->text()), "0");
    EXPECT_EQ(Text(w.YieldLabel->text()), "100,0 %");
    // The log tells the board's way through the slot, in order.
    std::string log = Log("A1");
    size_t settling = log.find("плата вставлена"), working = log.find("работа"), step = log.find("Программирование"),
           passed = log.find("годна");
    ASSERT_NE(passed, std::string::npos) << log;
    EXPECT_LT(settling, working) << log;
    EXPECT_LT(working, step) << log;
    EXPECT_LT(step, passed) << log;

    // Left in, it is not programmed again; pulled out, the slot is free; plugged in again, programmed again.
    QTest::qWait(300);
    EXPECT_EQ(Tile("A1").State(), TSlotState::Passed);
    Pull("A1");
    ASSERT_TRUE(WaitState("A1", TSlotState::Idle, 5000));
    EXPECT_NE(Text(Tile("A1").LastLabel->text()).find("годна"), std::string::npos) << "the last board stays said";
    EXPECT_TRUE(Tile("A1").LinesLabel->text().isEmpty()) << "a good board's lines go with it";
    Plug("A1");
    ASSERT_TRUE(WaitState("A1", TSlotState::Working, 5000));
    ASSERT_TRUE(WaitState("A1", TSlotState::Passed));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Text(w.PassedLabel->text()) == "2"; }, 2000));
    EXPECT_EQ(Tile("A2").State(), TSlotState::Idle);
}

TEST_F(StationWindowTest, FailingBoardIsShownAndCountedOthersUnaffected)
{
    WriteStation({"A1", "A2"});
    AddBoard("A1").AddFault({ProgramBlock, 1, -1, FaultKind::Bad, 0});
    AddBoard("A2");
    TStationWindow& w = Open();
    Plug("A1");
    Plug("A2");
    ASSERT_TRUE(WaitState("A1", TSlotState::Failed));
    ASSERT_TRUE(WaitState("A2", TSlotState::Passed));
    EXPECT_EQ(Text(Tile("A1").StateLabel->text()), "брак");
    std::string lines = Text(Tile("A1").LinesLabel->toolTip());
    EXPECT_NE(lines.find("пока её не извлекут"), std::string::npos) << lines;
    EXPECT_FALSE(Tile("A1").LinesLabel->text().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Text(w.FailedLabel->text()) == "1"; }, 2000));
    EXPECT_EQ(Text(w.PassedLabel->text()), "1");
    EXPECT_EQ(Text(w.YieldLabel->text()), "50,0 %");
    EXPECT_NE(Log("A1").find("брак"), std::string::npos) << Log("A1");
}

TEST_F(StationWindowTest, BoardPulledMidJobFailsOthersFinish)
{
    WriteStation({"A1", "A2"});
    StallAtAThird(AddBoard("A1"));
    AddBoard("A2");
    Open();
    Plug("A1");
    Plug("A2");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ProgramBlocksHeard(*boards["A1"]) >= StallBlock; }, 20000));
    ASSERT_TRUE(WaitState("A1", TSlotState::Working, 1000));
    Pull("A1");
    // The board failed and its slot is free again at once: the tile waits for the next board and
    // says what became of the last one.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tile("A1").View().HasResult; }, 5000));
    EXPECT_FALSE(Tile("A1").View().Last.Passed());
    EXPECT_TRUE(WaitState("A1", TSlotState::Idle, 5000));
    EXPECT_NE(Text(Tile("A1").LastLabel->text()).find("последняя: брак"), std::string::npos);
    // Which text depends on who sees the board go first: the station's watch or the link itself.
    std::string lines = Text(Tile("A1").LinesLabel->toolTip());
    EXPECT_TRUE(lines.find("Плата извлечена во время работы") != std::string::npos ||
                lines.find("исчез из системы") != std::string::npos)
        << lines;
    ASSERT_TRUE(WaitState("A2", TSlotState::Passed));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Text(window->FailedLabel->text()) == "1"; }, 2000));
    EXPECT_EQ(Text(window->PassedLabel->text()), "1");
}

TEST_F(StationWindowTest, WorkingTileShowsStepAndGauge)
{
    WriteStation({"A1"});
    StallAtAThird(AddBoard("A1"));
    Open();
    Plug("A1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tile("A1").Gauge->value() >= 30; }, 20000));
    EXPECT_EQ(Tile("A1").State(), TSlotState::Working);
    EXPECT_TRUE(Tile("A1").Gauge->isVisible());
    EXPECT_NE(Text(Tile("A1").RateLabel->text()).find("Б/с"), std::string::npos) << Text(Tile("A1").RateLabel->text());
    EXPECT_EQ(Text(Tile("A1").StateLabel->text()), "работа");
    EXPECT_FALSE(Tile("A1").StepLabel->text().isEmpty());
    EXPECT_EQ(Text(Tile("A1").Gauge->text()), std::to_string(Tile("A1").Gauge->value()) + "%");
}

TEST_F(StationWindowTest, ClosingWhileBoardsWorkAsksThenStopsTheStation)
{
    WriteStation({"A1", "A2"});
    StallAtAThird(AddBoard("A1"));
    AddBoard("A2");
    TStationWindow& w = Open();
    Plug("A1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ProgramBlocksHeard(*boards["A1"]) >= StallBlock; }, 20000));
    ASSERT_TRUE(WaitState("A1", TSlotState::Working, 1000));

    user.Answers = {TAnswer::No};
    w.close();
    ASSERT_EQ(user.Boxes.size(), 1u);
    EXPECT_EQ(user.Boxes[0].Caption, "Внимание!");
    EXPECT_NE(user.Boxes[0].Text.find("Остановить станцию"), std::string::npos) << user.Boxes[0].Text;
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.Station().Slot(0).State, TSlotState::Working) << "No leaves the board at work";

    user.Answers = {TAnswer::Yes};
    w.close();
    EXPECT_FALSE(w.isVisible());
    TSlotView a1 = w.Station().Slot(0);
    ASSERT_TRUE(a1.HasResult);
    EXPECT_EQ(a1.Last.Outcome, TOutcome::Stopped);
    EXPECT_EQ(w.Station().Counters().Stopped, 1);
    // Stopped: a board plugged in now is left alone.
    Plug("A2");
    QTest::qWait(300);
    EXPECT_EQ(w.Station().Slot(1).State, TSlotState::Idle);
}

TEST_F(StationWindowTest, ClosingWithNoBoardAtWorkDoesNotAsk)
{
    WriteStation({"A1"});
    AddBoard("A1");
    TStationWindow& w = Open();
    Plug("A1");
    ASSERT_TRUE(WaitState("A1", TSlotState::Passed));
    w.close();
    EXPECT_TRUE(user.Boxes.empty());
    EXPECT_FALSE(w.isVisible());
}

TEST_F(StationWindowTest, SlotLogOnDemandFollowsTheSlot)
{
    WriteStation({"A1", "A2"});
    AddBoard("A1");
    TStationWindow& w = Open();
    QTest::mouseDClick(&Tile("A1"), Qt::LeftButton);
    auto* log = qobject_cast<TSlotLogWindow*>(QApplication::activeWindow());
    if (!log) log = w.findChild<TSlotLogWindow*>();
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(Text(log->windowTitle()), "Журнал гнезда A1");
    Plug("A1");
    ASSERT_TRUE(WaitState("A1", TSlotState::Passed));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return Text(log->LogText->toPlainText()).find("годна") != std::string::npos; }, 2000))
        << Text(log->LogText->toPlainText());
    EXPECT_EQ(Text(log->LogText->toPlainText()), Log("A1"));
    // Its button shows the same window, not a second one.
    Tile("A1").LogButton->click();
    EXPECT_EQ(w.findChildren<TSlotLogWindow*>().size(), 1u);
    Tile("A2").LogButton->click();
    EXPECT_EQ(w.findChildren<TSlotLogWindow*>().size(), 2u);
}

// Sixteen slots' transfers reported as fast as the station's threads can: the window's thread is
// asked to draw a few times, not once per report, and draws each slot's last report.
TEST_F(StationWindowTest, ProgressOfSixteenSlotsIsCoalesced)
{
    std::vector<std::string> sixteen;
    for (int i = 1; i <= 16; ++i) sixteen.push_back("S" + std::to_string(i));
    WriteStation(sixteen);
    TStationWindow& w = Open(false);
    struct TCountCalls : QObject {
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::MetaCall) ++Calls;
            return false;
        }
        int Calls = 0;
    } counter;
    w.installEventFilter(&counter);

    constexpr int Reports = 2000;
    std::atomic<int> done = 0;
    std::vector<std::thread> threads;
    for (size_t slot = 0; slot < 16; ++slot) {
        threads.emplace_back([&w, &done, slot] {
            TSlotView view = w.Station().Slot(slot);
            view.State = TSlotState::Working;
            w.SlotChanged(slot, TSlotEvent::State, view);
            view.Step = "Программирование";
            w.SlotChanged(slot, TSlotEvent::Step, view);
            for (int i = 1; i <= Reports; ++i) {
                view.Percent = i * 100 / Reports;
                view.Rate = 1000 + i;
                w.SlotChanged(slot, TSlotEvent::Progress, view);
            }
            ++done;
        });
    }
    // The window's thread draws meanwhile, as it would.
    while (done < 16) QApplication::processEvents();
    for (std::thread& t : threads) t.join();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
        return std::all_of(w.Tiles.begin(), w.Tiles.end(), [](TSlotTile* t) { return t->Gauge->value() == 100; });
        },
        5000));
    EXPECT_LT(counter.Calls, 16 * Reports / 20) << "one drawing per report floods the window";
    for (const std::string& label : sixteen) {
        EXPECT_EQ(Text(Tile(label).StepLabel->text()), "Программирование");
        // Progress is drawn, not logged: the log holds the state and the step.
        EXPECT_EQ(window->SlotLog(static_cast<size_t>(&label - &sixteen[0])).size(), 2);
    }
}
