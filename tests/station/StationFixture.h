// What the station's end-to-end tests share: a folder of slots, simulated boards that start out of
// their sockets and are plugged in and pulled out on demand, the station file and a running
// `flasher-cli station --json` whose events are read as they come.
#pragma once

#include "tests/cli/Processes.h"
#include "tests/station/StationProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class StationTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    std::string SlotPath(const std::string& label) const { return (dir / "slots" / label).string(); }
    // The station file: slots `labels` bound to SlotPath, a settle time of 200 ms and `jobLines`.
    void WriteStation(const std::vector<std::string>& labels, const std::string& jobLines = {});

    // A simulated board for `socket` (a slot's label or any name in the slots' folder), out of its
    // socket until Plug; `extra` options for board-sim (faults).
    void AddBoard(const std::string& socket, std::vector<std::string> extra = {});
    void Plug(const std::string& socket);
    void Pull(const std::string& socket);

    // `flasher-cli station st.ini --json` with `extra` arguments, pauses 5 times faster; stderr
    // in err.txt. Returns once the station has said it started.
    void StartStation(const std::string& extra = {});
    // The next event that `match` takes, within `limit`; the events before it are kept in `seen`.
    JsonObject WaitEvent(const std::function<bool(const JsonObject&)>& match,
                         std::chrono::milliseconds limit = std::chrono::seconds(20));
    // `slot`'s next event of kind `event` ("slot", "board") with `state` when given.
    JsonObject WaitSlot(const std::string& slot, const std::string& event, const std::string& state = {});
    // The events of `slot` heard within `span`.
    std::vector<JsonObject> EventsWithin(const std::string& slot, std::chrono::milliseconds span);
    // Ctrl-C: the station's exit status; its summary event in `summary`.
    int Interrupt(JsonObject& summary);
    std::string StationErrors() const;

    std::filesystem::path dir;
    std::map<std::string, std::unique_ptr<BackgroundProcess>> boards;
    std::unique_ptr<TStationProcess> station;
    std::vector<JsonObject> seen;
};

std::vector<std::string> FileLines(const std::string& path);
