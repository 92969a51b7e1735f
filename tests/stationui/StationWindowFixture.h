// A station window over simulated boards: a folder of slots, boards that start out of their
// sockets and are plugged in and pulled out in this process, pauses 5 times faster and a script
// that answers the window's boxes. The fixture owns the window, as the program does.
#pragma once

#include "sim/BoardSim.h"
#include "station/Station.h"
#include "stationui/SlotTile.h"
#include "stationui/StationWindow.h"
#include "tests/app/AppTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

class StationWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    std::string SlotPath(const std::string& label) const { return (dir / "slots" / label).string(); }
    // The station file: slots `labels` bound to SlotPath, a settle time of 200 ms and `jobLines`.
    void WriteStation(const std::vector<std::string>& labels, const std::string& jobLines = {});
    // A simulated board for slot `label`, out of its socket until Plug.
    TBoardSim& AddBoard(const std::string& label);
    void Plug(const std::string& label);
    void Pull(const std::string& label);

    // The window on st.ini, shown; the station started unless `start` is false.
    TStationWindow& Open(bool start = true);
    TSlotTile& Tile(const std::string& label);
    // Waits until `label`'s tile shows `state`; false after `ms`.
    bool WaitState(const std::string& label, TSlotState state, int ms = 20000);
    // The window's log of `label` as one text.
    std::string Log(const std::string& label);
    std::string Text(const QString& s) const { return s.toStdString(); }

    std::filesystem::path dir;
    std::vector<std::string> labels;
    std::map<std::string, std::unique_ptr<TBoardSim>> boards;
    ScriptedUser user;
    std::unique_ptr<TStationWindow> window;
};
