#include "tests/station/StationFixture.h"

#include "tests/common/StationFolder.h"

#include <csignal>
#include <fstream>
#include <sstream>

void StationTest::SetUp() { dir = FreshStationFolder("flasher-station-"); }

void StationTest::TearDown()
{
    station.reset();
    boards.clear();
    std::error_code error;
    std::filesystem::remove_all(dir, error);
}

void StationTest::WriteStation(const std::vector<std::string>& labels, const std::string& jobLines)
{
    WriteStationFile(dir, labels, jobLines);
}

void StationTest::AddBoard(const std::string& socket, std::vector<std::string> extra)
{
    std::vector<std::string> argv{BOARD_SIM, "--unplugged", "--clock-scale", "100", "--link", SlotPath(socket)};
    argv.insert(argv.end(), extra.begin(), extra.end());
    boards[socket] = std::make_unique<BackgroundProcess>(argv);
    ASSERT_EQ(boards[socket]->FirstLine(), "unplugged");
}

void StationTest::Plug(const std::string& socket)
{
    boards.at(socket)->Signal(SIGUSR1);
    ASSERT_EQ(boards.at(socket)->NextLine().rfind("/dev/pts/", 0), 0u) << socket << " was not plugged in";
}

void StationTest::Pull(const std::string& socket)
{
    boards.at(socket)->Signal(SIGUSR2);
    ASSERT_EQ(boards.at(socket)->NextLine(), "unplugged");
}

void StationTest::StartStation(const std::string& extra)
{
    station = std::make_unique<TStationProcess>("env FLASHER_CLOCK_SCALE=5 " FLASHER_CLI " station " + Path("st.ini") +
                                                " --json " + extra + " 2>" + Path("err.txt"));
    auto first = station->NextLine(std::chrono::seconds(10));
    ASSERT_TRUE(first && first->find("\"event\":\"station\"") != std::string::npos) << StationErrors();
}

JsonObject StationTest::WaitEvent(const std::function<bool(const JsonObject&)>& match, std::chrono::milliseconds limit)
{
    auto deadline = Steady::now() + limit;
    while (Steady::now() < deadline) {
        auto event = station->NextEvent(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()));
        if (!event) break;
        seen.push_back(*event);
        if (match(*event)) return *event;
    }
    ADD_FAILURE() << "no such event within " << limit.count() << " ms; stderr: " << StationErrors();
    return {};
}

JsonObject StationTest::WaitSlot(const std::string& slot, const std::string& event, const std::string& state)
{
    return WaitEvent([&](const JsonObject& e) {
        return e.count("slot") && e.at("slot") == slot && e.at("event") == event &&
               (state.empty() || e.at("state") == state);
    });
}

std::vector<JsonObject> StationTest::EventsWithin(const std::string& slot, std::chrono::milliseconds span)
{
    std::vector<JsonObject> events;
    auto deadline = Steady::now() + span;
    while (Steady::now() < deadline) {
        auto event = station->NextEvent(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()));
        if (!event) break;
        seen.push_back(*event);
        if (event->count("slot") && event->at("slot") == slot) events.push_back(*event);
    }
    return events;
}

int StationTest::Interrupt(JsonObject& summary)
{
    station->Signal(SIGINT);
    std::string rest;
    int status = station->Wait(&rest);
    std::istringstream lines(rest);
    for (std::string line; std::getline(lines, line);)
        if (auto event = ParseJsonObject(line); event && event->at("event") == "summary") summary = *event;
    return status;
}

std::string StationTest::StationErrors() const
{
    std::ifstream file(Path("err.txt"));
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::string> FileLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}
