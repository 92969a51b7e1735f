// The station window with 16 slots at work: 16 line-paced simulated boards plugged in at once and
// programmed by the station, the window on the offscreen platform. Prints how late the window's
// thread answered a 10 ms timer meanwhile (its responsiveness), how often it was asked to draw,
// and the shift's wall time against one board alone.
//   cmake --build build-bench --target station_window_bench && build-bench/bin/station_window_bench
#include "sim/BoardSim.h"
#include "station/StationJob.h"
#include "stationui/SlotTile.h"
#include "stationui/StationWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
constexpr int TickMs = 10;

class TCountCalls : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall) ++Calls;
        return false;
    }
    int Calls = 0;
};

struct TShift {
    double Seconds = 0;
    int Passed = 0;
    double WorstLateMs = 0;
    double P99LateMs = 0;
    int DrawRequests = 0;
};

// `count` boards plugged in at once into as many slots; the window's thread timed meanwhile.
TShift RunShift(int count, const std::filesystem::path& dir)
{
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "slots");
    {
        std::ofstream file(dir / "st.ini");
        file << "[Job]\nSettle=100\n[Slots]\n";
        for (int i = 1; i <= count; ++i)
            file << "S" << i << "=" << (dir / "slots" / ("S" + std::to_string(i))).string() << "\n";
    }
    std::vector<std::unique_ptr<TBoardSim>> boards;
    for (int i = 1; i <= count; ++i) {
        SimOptions options;
        options.Pace = true;
        options.KeepWireLog = false;
        options.Unplugged = true;
        options.LinkPath = (dir / "slots" / ("S" + std::to_string(i))).string();
        boards.push_back(std::make_unique<TBoardSim>(options));
        if (!boards.back()->Start()) std::fprintf(stderr, "board %d: %s\n", i, boards.back()->ErrorText().c_str());
    }
    TStationFile file;
    auto job = std::make_unique<TStationJob>();
    TStationRefusal refusal;
    if (!LoadStation((dir / "st.ini").string(), file, *job, refusal)) {
        std::fprintf(stderr, "%s\n", refusal.Text.c_str());
        return {};
    }
    TStationWindow window(std::move(file), std::move(job));
    TCountCalls counter;
    window.installEventFilter(&counter);
    window.show();
    window.StartStation();

    std::vector<double> late;
    QElapsedTimer clock;
    QTimer tick;
    tick.setInterval(TickMs);
    qint64 last = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        qint64 now = clock.nsecsElapsed();
        late.push_back(std::max(0.0, (now - last) / 1e6 - TickMs));
        last = now;
    });
    clock.start();
    for (auto& board : boards) board->Plug();
    tick.start();
    auto ended = [&] { return window.Station().Counters().Total() >= count; };
    while (!ended() && clock.elapsed() < 300000) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    TShift shift;
    shift.Seconds = clock.elapsed() / 1000.0;
    shift.Passed = window.Station().Counters().Passed;
    std::sort(late.begin(), late.end());
    if (!late.empty()) {
        shift.WorstLateMs = late.back();
        shift.P99LateMs = late[late.size() * 99 / 100];
    }
    shift.DrawRequests = counter.Calls;
    window.close();
    std::filesystem::remove_all(dir);
    return shift;
}
}   // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    auto dir = std::filesystem::temp_directory_path() / ("flasher-station-window-bench-" + std::to_string(getpid()));
    TShift one = RunShift(1, dir);
    TShift sixteen = RunShift(16, dir);
    std::printf("boards  passed  wall s  vs one  timer late p99 ms  worst ms  draw requests  per s\n");
    for (const auto& [count, s] : {std::pair{1, one}, std::pair{16, sixteen}})
        std::printf("%6d  %6d  %6.1f  %6.2f  %17.1f  %8.1f  %13d  %5.1f\n", count, s.Passed, s.Seconds,
                    one.Seconds > 0 ? s.Seconds / one.Seconds : 0, s.P99LateMs, s.WorstLateMs, s.DrawRequests,
                    s.Seconds > 0 ? s.DrawRequests / s.Seconds : 0);
    return sixteen.Passed == 16 ? 0 : 1;
}
