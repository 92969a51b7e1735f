// The station core as a front end sees it, in process: what its observer hears, in what order,
// with simulated boards plugged into and pulled out of two slots.
#include "station/Station.h"
#include "station/StationJob.h"

#include "serial/Clock.h"
#include "sim/BoardSim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace {
using namespace std::chrono_literals;

struct THeard {
    size_t Slot;
    std::string What;   // a state's key, or "board:" and the outcome
};

// Records the states and boards it hears; a test waits for the one it expects.
class TRecordingObserver : public TStationObserver {
public:
    void SlotChanged(size_t slot, TSlotEvent event, const TSlotView& view) override
    {
        EXPECT_FALSE(inside_.exchange(true)) << "two observer calls at once";
        if (event == TSlotEvent::State) Add(slot, SlotStateKey(view.State));
        if (event == TSlotEvent::Progress) {
            EXPECT_GE(view.Percent, 0);
            EXPECT_LE(view.Percent, 100);
        }
        inside_ = false;
    }
    void BoardFinished(size_t slot, const TBoardRecord& record, const TStationCounters& counters) override
    {
        EXPECT_FALSE(inside_.exchange(true)) << "two observer calls at once";
        last_ = counters;
        Add(slot, std::string("board:") + (record.Passed() ? "passed" : "failed"));
        inside_ = false;
    }

    // Waits until slot `slot` has heard `what`; what the slot heard up to then.
    std::vector<std::string> WaitFor(size_t slot, const std::string& what)
    {
        std::unique_lock guard(lock_);
        bool heard = changed_.wait_for(guard, 20s, [&] {
            for (const THeard& h : heard_)
                if (h.Slot == slot && h.What == what) return true;
            return false;
        });
        EXPECT_TRUE(heard) << "slot " << slot << " never heard " << what;
        std::vector<std::string> whats;
        for (const THeard& h : heard_)
            if (h.Slot == slot) whats.push_back(h.What);
        heard_.erase(std::remove_if(heard_.begin(), heard_.end(), [&](const THeard& h) { return h.Slot == slot; }),
                     heard_.end());
        return whats;
    }
    TStationCounters Last()
    {
        std::lock_guard guard(lock_);
        return last_;
    }

private:
    void Add(size_t slot, std::string what)
    {
        std::lock_guard guard(lock_);
        heard_.push_back({slot, std::move(what)});
        changed_.notify_all();
    }

    std::atomic<bool> inside_{false};
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<THeard> heard_;
    TStationCounters last_;
};

class StationCoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        // One clock for the board and the program: 5 times faster leaves the board's quiet time after
        // the break-in 200 ms inside the program's pause, however loaded the machine.
        Clock::SetScale(5);
        dir = std::filesystem::temp_directory_path() / ("flasher-station-core-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        file.SettleMs = 200;
        for (const char* label : {"L", "R"}) {
            std::string link = (dir / label).string();
            file.Slots.push_back({label, link, TSlotBinding::PortName, 0});
            SimOptions options;
            options.LinkPath = link;
            options.Unplugged = true;
            boards.push_back(std::make_unique<TBoardSim>(options));
            ASSERT_TRUE(boards.back()->Start()) << boards.back()->ErrorText();
        }
        ASSERT_EQ(job.Load(file.Job), "");
    }
    void TearDown() override
    {
        boards.clear();
        std::filesystem::remove_all(dir);
        Clock::Reset();
    }

    std::filesystem::path dir;
    TStationFile file;
    TStationJob job;
    std::vector<std::unique_ptr<TBoardSim>> boards;
};
}   // namespace

TEST_F(StationCoreTest, ObserverHearsEachSlotsStatesInOrder)
{
    TRecordingObserver observer;
    TStation station(file, job, observer);
    std::string error;
    ASSERT_TRUE(station.Start(error)) << error;
    boards[0]->Plug();
    EXPECT_EQ(observer.WaitFor(0, "board:passed"),
              (std::vector<std::string>{"settling", "working", "passed", "board:passed"}));
    boards[1]->AddFault({0xC9, 1, -1, FaultKind::Bad, 0});
    boards[1]->Plug();
    EXPECT_EQ(observer.WaitFor(1, "board:failed"),
              (std::vector<std::string>{"settling", "working", "failed", "board:failed"}));
    TStationCounters counters = observer.Last();
    EXPECT_EQ(counters.Passed, 1);
    EXPECT_EQ(counters.Failed, 1);
    EXPECT_DOUBLE_EQ(counters.YieldPercent(), 50.0);

    // Out and in again: the slot re-arms and the board is programmed once more.
    boards[0]->Pull();
    boards[0]->Plug();
    EXPECT_EQ(observer.WaitFor(0, "board:passed"),
              (std::vector<std::string>{"idle", "settling", "working", "passed", "board:passed"}));

    TSlotView failed = station.Slot(1);
    EXPECT_EQ(failed.State, TSlotState::Failed);
    ASSERT_FALSE(failed.Lines.empty());
    EXPECT_EQ(failed.Lines.front(), "Программирование было выполнено с ошибками!");
    EXPECT_EQ(failed.Last.Label, "R");
    EXPECT_EQ(failed.Last.Version, "Загрузчик v4.0");
    station.Stop();
    EXPECT_EQ(station.Counters().Total(), 3);
}

// /dev/serial/by-path itself comes with the first USB adapter and goes with the last: a slot
// whose folder is missing at the start, or removed and made again, still sees its board.
TEST_F(StationCoreTest, SlotFolderThatComesLaterIsWatched)
{
    std::filesystem::path folder = dir / "by-path";
    TStationFile later;
    later.SettleMs = 200;
    later.Slots.push_back({"L", (folder / "L").string(), TSlotBinding::PortName, 0});
    SimOptions options;
    options.LinkPath = (folder / "L").string();
    options.Unplugged = true;
    TBoardSim board(options);
    ASSERT_TRUE(board.Start());
    TRecordingObserver observer;
    TStation station(later, job, observer);
    std::string error;
    ASSERT_TRUE(station.Start(error)) << error;

    std::filesystem::create_directories(folder);
    ASSERT_TRUE(board.Plug()) << board.ErrorText();
    EXPECT_EQ(observer.WaitFor(0, "board:passed").back(), "board:passed");

    board.Pull();
    std::filesystem::remove_all(folder);
    EXPECT_EQ(observer.WaitFor(0, "idle"), (std::vector<std::string>{"idle"}));
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(board.Plug()) << board.ErrorText();
    EXPECT_EQ(observer.WaitFor(0, "board:passed").back(), "board:passed");
}
