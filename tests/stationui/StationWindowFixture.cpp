#include "tests/stationui/StationWindowFixture.h"

#include "tests/common/StationFolder.h"

#include "serial/Clock.h"
#include "station/StationJob.h"

#include <QTest>

#include <algorithm>

void StationWindowTest::SetUp()
{
    dir = FreshStationFolder("flasher-stationui-");
    // 200 ms of slack for the break-in's quiet second, for every board at once on a loaded machine.
    Clock::SetScale(5);
}

void StationWindowTest::TearDown()
{
    if (HasFailure()) {
        for (const std::string& label : labels)
            if (window) std::printf("log of %s:\n%s\n", label.c_str(), Log(label).c_str());
    }
    window.reset();
    boards.clear();
    Clock::Reset();
    std::error_code error;
    std::filesystem::remove_all(dir, error);
}

void StationWindowTest::WriteStation(const std::vector<std::string>& names, const std::string& jobLines)
{
    labels = names;
    WriteStationFile(dir, labels, jobLines);
}

TBoardSim& StationWindowTest::AddBoard(const std::string& label)
{
    SimOptions options;
    options.LinkPath = SlotPath(label);
    options.Unplugged = true;
    auto& sim = boards[label] = std::make_unique<TBoardSim>(options);
    EXPECT_TRUE(sim->Start()) << sim->ErrorText();
    return *sim;
}

void StationWindowTest::Plug(const std::string& label)
{
    ASSERT_TRUE(boards.at(label)->Plug()) << boards.at(label)->ErrorText();
}

void StationWindowTest::Pull(const std::string& label) { ASSERT_TRUE(boards.at(label)->Pull()); }

TStationWindow& StationWindowTest::Open(bool start)
{
    TStationFile file;
    auto job = std::make_unique<TStationJob>();
    TStationRefusal refusal;
    EXPECT_TRUE(LoadStation(Path("st.ini"), file, *job, refusal)) << refusal.Text;
    window = std::make_unique<TStationWindow>(std::move(file), std::move(job));
    window->show();
    if (start) {
        EXPECT_TRUE(window->StartStation());
    }
    return *window;
}

TSlotTile& StationWindowTest::Tile(const std::string& label)
{
    auto at = std::find(labels.begin(), labels.end(), label);
    return *window->Tiles.at(static_cast<size_t>(at - labels.begin()));
}

bool StationWindowTest::WaitState(const std::string& label, TSlotState state, int ms)
{
    return QTest::qWaitFor([&] { return Tile(label).State() == state; }, ms);
}

std::string StationWindowTest::Log(const std::string& label)
{
    auto at = std::find(labels.begin(), labels.end(), label);
    return Text(window->SlotLog(static_cast<size_t>(at - labels.begin())).join(QLatin1Char('\n')));
}
