// flasher-cli station against simulated boards plugged into and pulled out of their slots.
#include "tests/station/StationFixture.h"

#include "tests/cli/CliFixture.h"
#include "tests/cli/Processes.h"

#include <fstream>

namespace {
using namespace std::chrono_literals;

// How long a board left in its slot is watched for a second run: several settle times.
constexpr auto LeftInSlot = 800ms;

long Since(Steady::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count());
}

size_t CountWithState(const std::vector<JsonObject>& events, const std::string& state)
{
    size_t count = 0;
    for (const JsonObject& e : events) count += e.count("state") && e.at("state") == state;
    return count;
}
}   // namespace

// Boards plugged in one after another are each programmed once, soon after they appear; a board
// left in its slot is not programmed again; pulled out and plugged in again, it is.
TEST_F(StationTest, EveryBoardIsProgrammedOnceAsItIsPluggedIn)
{
    WriteStation({"A1", "A2", "A3"});
    for (const char* slot : {"A1", "A2", "A3"}) AddBoard(slot);
    StartStation("--log " + Path("run.log") + " --on-result 'cat >> " + Path("records.jsonl") + "'");
    for (const char* slot : {"A1", "A2", "A3"}) {
        Plug(slot);
        auto plugged = Steady::now();
        WaitSlot(slot, "slot", "working");
        EXPECT_LT(Since(plugged), 1000) << slot << " started late";
        JsonObject board = WaitSlot(slot, "board");
        EXPECT_EQ(board["outcome"], "passed") << board["text"];
        EXPECT_EQ(board["version"], "Загрузчик v4.0");
    }
    EXPECT_EQ(CountWithState(EventsWithin("A1", LeftInSlot), "working"), 0u)
        << "A1 left in its slot was programmed again";

    Pull("A1");
    WaitSlot("A1", "slot", "idle");
    Plug("A1");
    EXPECT_EQ(WaitSlot("A1", "board")["outcome"], "passed");

    JsonObject summary;
    EXPECT_EQ(Interrupt(summary), 130);
    EXPECT_EQ(summary["passed"], "4");
    EXPECT_EQ(summary["failed"], "0");
    auto log = FileLines(Path("run.log"));
    ASSERT_EQ(log.size(), 5u) << "a line per board and the summary";
    for (size_t i = 0; i < 4; ++i) {
        auto line = ParseJsonObject(log[i]);
        ASSERT_TRUE(line);
        EXPECT_EQ((*line)["outcome"], "passed");
        EXPECT_EQ((*line)["socket"], SlotPath((*line)["slot"]));
        EXPECT_FALSE((*line)["start"].empty());
        EXPECT_FALSE((*line)["end"].empty());
    }
    EXPECT_EQ((*ParseJsonObject(log[4]))["event"], "summary");
    EXPECT_EQ(FileLines(Path("records.jsonl")).size(), 4u) << "--on-result ran once per board";
}

// A failing board is counted failed and left alone while it stays in; a board pulled out in the
// middle of its job fails at once; the third slot is not disturbed by either.
TEST_F(StationTest, FailedAndPulledBoardsLeaveTheOthersAlone)
{
    WriteStation({"A1", "A2", "A3"});
    AddBoard("A1", {"--fault", "C9:1:-1:bad"});
    AddBoard("A2");
    AddBoard("A3");
    StartStation();
    Plug("A1");
    Plug("A2");
    Plug("A3");
    WaitSlot("A2", "slot", "working");
    Pull("A2");
    auto pulled = Steady::now();
    JsonObject pulledBoard = WaitSlot("A2", "board");
    EXPECT_LT(Since(pulled), 1000) << "the pulled board's slot failed late";
    EXPECT_EQ(pulledBoard["outcome"], "failed");
    EXPECT_NE(pulledBoard["text"].find("Плата извлечена"), std::string::npos) << pulledBoard["text"];
    EXPECT_EQ(pulledBoard["text"].find("Нет соединения"), std::string::npos)
        << "where the work was, not the status after";

    JsonObject bad = WaitSlot("A1", "board");
    EXPECT_EQ(bad["outcome"], "failed");
    EXPECT_EQ(bad["exit"], "2");
    EXPECT_NE(bad["text"].find("Программирование было выполнено с ошибками!"), std::string::npos) << bad["text"];
    EXPECT_EQ(WaitSlot("A3", "board")["outcome"], "passed");
    EXPECT_EQ(CountWithState(EventsWithin("A1", LeftInSlot), "working"), 0u) << "a failed board was retried";

    JsonObject summary;
    EXPECT_EQ(Interrupt(summary), 130);
    EXPECT_EQ(summary["passed"], "1");
    EXPECT_EQ(summary["failed"], "2");
}

// A port that belongs to no slot appearing in the slots' folder is no board of the station's.
TEST_F(StationTest, UnknownPortIsIgnored)
{
    WriteStation({"A1"});
    AddBoard("A1");
    AddBoard("stranger");
    StartStation("--boards 1");
    Plug("stranger");
    std::ofstream(Path("slots/notes.txt")) << "not a port\n";
    Plug("A1");
    EXPECT_EQ(WaitSlot("A1", "board")["outcome"], "passed");
    std::string rest;
    EXPECT_EQ(station->Wait(&rest), 0) << "--boards 1 ends the shift with the one board";
    for (const JsonObject& e : seen) EXPECT_EQ(e.count("slot") ? e.at("slot") : "A1", "A1");
    EXPECT_EQ(rest.find("stranger"), std::string::npos);
}

// Ctrl-C in the middle of a board's job: the exchange under way ends, the board counts as stopped,
// the summary comes and the exit status is 130.
TEST_F(StationTest, InterruptEndsTheShiftWithItsSummary)
{
    WriteStation({"A1", "A2"});
    AddBoard("A1");
    AddBoard("A2");
    StartStation();
    Plug("A1");
    EXPECT_EQ(WaitSlot("A1", "board")["outcome"], "passed");
    Plug("A2");
    WaitSlot("A2", "slot", "working");
    JsonObject summary;
    EXPECT_EQ(Interrupt(summary), 130);
    EXPECT_EQ(summary["passed"], "1");
    EXPECT_EQ(summary["interrupted"], "true");
    EXPECT_EQ(std::stoi(summary["failed"]) + std::stoi(summary["stopped"]), 1) << "A2 stopped (or just failed)";
}

// --check: the file and its job's files checked, the slots holding a board now shown.
TEST_F(StationTest, CheckShowsWhichSlotsHoldABoard)
{
    WriteStation({"A1", "A2"});
    AddBoard("A1");
    Plug("A1");
    RunResult run = RunProcess({FLASHER_CLI, "station", "--check", Path("st.ini")});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("A1  порт    " + SlotPath("A1") + "  есть\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("A2  порт    " + SlotPath("A2") + "  нет платы\n"), std::string::npos) << run.Out;
}

// A job file refused stops the station before anything is watched: the board already in its slot
// hears nothing.
struct RefusedJob {
    const char* Name;
    const char* JobLines;
    const char* Said;   // on stderr, after the job file's full name
};

class RefusedJobTest : public StationTest, public testing::WithParamInterface<RefusedJob> {};

TEST_P(RefusedJobTest, StopsTheStationAtOnce)
{
    std::ofstream(Path("short.bin")) << "too short";
    WriteFontFile(Path("broken.gly"), false);
    WriteStation({"A1"}, GetParam().JobLines);
    AddBoard("A1", {"--wire-log", Path("wire.log")});
    Plug("A1");
    RunResult run = RunProcess({FLASHER_CLI, "station", Path("st.ini")}, {"FLASHER_CLOCK_SCALE=5"}, 20s);
    EXPECT_EQ(run.Status, 4);
    EXPECT_NE(run.Err.find(GetParam().Said), std::string::npos) << run.Err;
    EXPECT_TRUE(FileLines(Path("wire.log")).empty()) << "the board was spoken to";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Files, RefusedJobTest,
    testing::Values(RefusedJob{"ShortFirmware", "Firmware=short.bin\n", "short.bin не подходит"},
                    RefusedJob{"MissingFirmware", "Firmware=none.bin\n", "none.bin не подходит"},
                    RefusedJob{"BrokenFonts", "Fonts=broken.gly\n", "broken.gly"}),
    [](const testing::TestParamInfo<RefusedJob>& info) { return info.param.Name; });
// clang-format on

// The whole job: firmware with fonts, then the loader block, on a loader whose store is not
// formatted yet; the block is there afterwards under the job's name.
TEST_F(StationTest, JobStoresTheLoaderBlockAfterProgramming)
{
    WriteFontFile(Path("fonts.gly"), true);
    WriteStation({"A1"}, "Fonts=fonts.gly\nLoaderBlock=3\nLoaderName=Смена 1\nFormatLoader=yes\n");
    AddBoard("A1", {"--flash", Path("flash.bin")});
    StartStation("--boards 1");
    Plug("A1");
    JsonObject board = WaitSlot("A1", "board");
    EXPECT_EQ(board["outcome"], "passed") << board["text"];
    EXPECT_NE(board["text"].find("Блок №3 записан: «Смена 1»."), std::string::npos) << board["text"];
    EXPECT_EQ(station->Wait(), 0);
    RunResult list = RunProcess({FLASHER_CLI, "--json", "loader", "list", "--port", SlotPath("A1")},
                                {"FLASHER_CLOCK_SCALE=5"}, 30s);
    ASSERT_EQ(list.Status, 0) << list.Err;
    auto events = ParseJsonLines(list.Out);
    ASSERT_TRUE(events);
    bool found = false;
    for (const JsonObject& e : *events)
        found |= e.at("event") == "block" && e.at("number") == "3" && e.at("name") == "Смена 1";
    EXPECT_TRUE(found) << list.Out;
}

// A loader that is not formatted, and a job that does not allow formatting: the board fails and
// its record says why.
TEST_F(StationTest, UnformattedLoaderFailsTheBoardUnlessTheJobFormats)
{
    WriteStation({"A1"}, "LoaderBlock=1\nLoaderName=Смена 1\n");
    AddBoard("A1", {"--flash", Path("flash.bin")});
    StartStation("--boards 1");
    Plug("A1");
    JsonObject board = WaitSlot("A1", "board");
    EXPECT_EQ(board["outcome"], "failed");
    EXPECT_EQ(board["exit"], "5");
    EXPECT_NE(board["text"].find("Загрузчик не форматирован!"), std::string::npos) << board["text"];
    EXPECT_NE(board["text"].find("FormatLoader=no"), std::string::npos) << board["text"];
    EXPECT_EQ(station->Wait(), 5);
}

// --on-result's command failing or overrunning its limit is said, and the station goes on.
TEST_F(StationTest, FailingResultCommandIsSaidAndTheStationGoesOn)
{
    WriteStation({"A1"});
    AddBoard("A1");
    // The first board's command fails, the second's runs past its limit.
    std::string first = Path("first-done");
    StartStation("--boards 2 --on-result-timeout 0.3 --on-result 'if [ -e " + first + " ]; then sleep 5; else touch " +
                 first + "; exit 3; fi'");
    Plug("A1");
    EXPECT_EQ(WaitSlot("A1", "board")["outcome"], "passed");
    Pull("A1");
    Plug("A1");
    EXPECT_EQ(WaitSlot("A1", "board")["outcome"], "passed");
    auto start = Steady::now();
    EXPECT_EQ(station->Wait(), 0);
    EXPECT_LT(Since(start), 4000) << "the overrunning command was not stopped at its limit";
    EXPECT_NE(StationErrors().find("команда --on-result для гнезда A1 завершилась с кодом 3"), std::string::npos)
        << StationErrors();
    EXPECT_NE(StationErrors().find("команда --on-result для гнезда A1 не уложилась в 0.3 с"), std::string::npos)
        << StationErrors();
}

// A bad station file: exit 64, the line and the reason on stderr.
struct BadStation {
    const char* Name;
    const char* Text;
    const char* Said;   // after "st.ini:"
};

class BadStationTest : public StationTest, public testing::WithParamInterface<BadStation> {};

TEST_P(BadStationTest, IsRefusedWithItsLineAndReason)
{
    std::ofstream(Path("st.ini")) << GetParam().Text;
    RunResult run = RunProcess({FLASHER_CLI, "station", Path("st.ini")}, {}, 20s);
    EXPECT_EQ(run.Status, 64);
    EXPECT_NE(run.Err.find(Path("st.ini") + ":" + GetParam().Said), std::string::npos) << run.Err;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Files, BadStationTest,
    testing::Values(
        BadStation{"UnknownKey", "[Job]\nFirmwre=a.bin\n[Slots]\nA1=/dev/ttyUSB0\n", "2: неизвестный ключ «Firmwre»"},
        BadStation{"NoEquals", "[Slots]\nA1=/dev/ttyUSB0\nA2 /dev/ttyUSB1\n", "3: строка без «=»"},
        BadStation{"SamePortTwice", "[Slots]\nA1=/dev/ttyUSB0\n\nA2=/dev/ttyUSB0\n", "4: порт /dev/ttyUSB0 уже назначен"},
        BadStation{"BlockOutOfRange", "[Job]\nLoaderBlock=9\n[Slots]\nA1=/dev/ttyUSB0\n", "2: LoaderBlock «9»"},
        BadStation{"NoSlots", "[Job]\nSettle=100\n", " нет ни одного гнезда"}),
    [](const testing::TestParamInfo<BadStation>& info) { return info.param.Name; });
// clang-format on
