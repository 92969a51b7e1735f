// A pulled adapter in the middle of a command: board-sim hangs its line up at a chosen request
// (the pty master closed: the program's reads fail and poll says POLLHUP, as with a USB adapter
// pulled). The command must end at once with the lost link's own text, our line about the port
// and exit status 1, send nothing after the request that met the hang-up, and leave the loader's
// store valid. Reply timeouts run at real speed here, so a run that waited out even one of them
// would show it.
#include "tests/cli/CliFixture.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <future>
#include <iostream>
#include <sstream>
#include <thread>

using std::chrono::milliseconds;

namespace {

// The shortest reply timeout of the protocol (a board's short request), unscaled: a run that
// waited for anything after the hang-up ends later than this.
constexpr milliseconds kShortestTimeout(2000);
// How long a whole healthy run may take here, generously, under sanitizers and load.
constexpr milliseconds kRunLimit(60000);

constexpr const char* kGoneLine = "Адаптер или его порт";
constexpr const char* kGoneAdvice = "проверьте кабель. После повторного подключения выберите порт заново.";

struct GoneCase {
    const char* Name;
    std::vector<std::string> Args;   // without --port
    const char* Fault;               // board-sim --fault: where the line hangs up
    const char* LostText;            // the system's own text of a lost link for this command
    bool Loader;                     // a loader command: the store is prepared and checked after
};

// clang-format off
const GoneCase kCases[] = {
    // The 100th firmware block of 304.
    {"ProgramDuringFirmware", {"program"}, "C9:100:1:hangup", "Сверка: Соединение потеряно!", false},
    // The 300th RAM block written of 1024.
    {"RamTest", {"ramtest"}, "D3:300:1:hangup", "Проверка RAM: Соединение потеряно!", false},
    // A chunk in the middle of the firmware written into block 2.
    {"LoaderWrite", {"--yes", "loader", "write", "--block", "2", "--name", "Новый"}, "A6:100:1:hangup",
     "Не удалось записать блок №2!", true},
    // A chunk of the directory being read.
    {"LoaderList", {"loader", "list"}, "A7:50:1:hangup", "Ошибка соединения с загрузчиком", true},
};
// clang-format on

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The last line of the program's --trace file for a frame it sent ("HH:MM:SS.mmm PORT > HEX").
std::string LastSentLine(const std::string& tracePath)
{
    std::ifstream in(tracePath);
    std::string last;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();   // the Windows build's line ends
        if (line.find(" > ") != std::string::npos && line.find(" > raw") == std::string::npos) last = line;
    }
    return last;
}

std::string FrameOf(const std::string& traceLine)
{
    size_t mark = traceLine.find(" > ");
    return mark == std::string::npos ? "" : traceLine.substr(mark + 3);
}

// Milliseconds since local midnight: of a trace line's time, and of `when`.
int64_t TraceMs(const std::string& traceLine)
{
    int h = 0, m = 0, s = 0, ms = 0;
    if (std::sscanf(traceLine.c_str(), "%d:%d:%d.%d", &h, &m, &s, &ms) != 4) return -1;
    return ((h * 60 + m) * 60 + s) * 1000LL + ms;
}

int64_t LocalMs(std::chrono::system_clock::time_point when)
{
    std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    auto ms = std::chrono::duration_cast<milliseconds>(when.time_since_epoch()).count() % 1000;
    return ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000LL + ms;
}

std::string Hex(const std::vector<uint8_t>& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (uint8_t b : bytes) {
        if (!text.empty()) text += ' ';
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

class PortGone : public CliTest, public testing::WithParamInterface<GoneCase> {
protected:
    // Runs the command against the simulator, which hangs up at the case's fault; sees the
    // hang-up by the new device the simulator prints after it.
    void RunToHangUp(const GoneCase& c)
    {
        if (c.Loader) {
            ASSERT_TRUE(PrepareStore(Path("flash.bin"), {{"loader", "format"}}));
        }
        StartSim({"--fault", c.Fault});
        std::promise<void> hungUp;
        auto seen = hungUp.get_future();
        std::thread watch([&] {
            newDevice = sim->NextLine();
            hungUp.set_value();
        });
        std::vector<std::string> args = c.Args;
        args.insert(args.end(), {"--port", port, "--trace", Path("trace.txt")});
        run = CliScaled(args, "5", kRunLimit);
        // From the moment the request that met the hang-up went out (its trace line) to the end.
        const int64_t ended = LocalMs(std::chrono::system_clock::now());
        if (seen.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << "the line never hung up";
            StopSim();
        }
        watch.join();
        lastSent = LastSentLine(Path("trace.txt"));
        afterHangUp = milliseconds(ended - TraceMs(lastSent));
    }

    RunResult run;
    std::string newDevice;   // the simulator's device after the hang-up
    std::string lastSent;    // the trace line of the last frame the program sent
    milliseconds afterHangUp{-1};
};

TEST_P(PortGone, EndsAtOnceWithTheLostLinkAndOurLineAndSendsNothingMore)
{
    const GoneCase& c = GetParam();
    RunToHangUp(c);
    ASSERT_FALSE(newDevice.empty());
    EXPECT_EQ(run.Status, 1) << run.Out << run.Err;
    EXPECT_FALSE(run.TimedOut);
    // The system's text, then ours right after it, both on stderr.
    auto err = Lines(run.Err);
    auto lost = std::find_if(err.begin(), err.end(),
                             [&](const std::string& l) { return l.find(c.LostText) != std::string::npos; });
    ASSERT_NE(lost, err.end()) << run.Err;
    auto gone = std::find_if(lost, err.end(),
                             [](const std::string& l) { return l.find(kGoneLine) != std::string::npos; });
    ASSERT_NE(gone, err.end()) << run.Err;
    EXPECT_NE(gone->find(port), std::string::npos) << *gone;
    EXPECT_NE(gone->find(kGoneAdvice), std::string::npos) << *gone;
    // Nothing was waited for after the hang-up: not even the shortest reply timeout.
    EXPECT_LT(afterHangUp, kShortestTimeout);
    std::cout << "[ figure ] " << c.Name << ": exit " << afterHangUp.count()
              << " ms after the request that met the hang-up went out\n";
    // The last frame the program sent is the request the board hung up on.
    auto log = WireLog();
    auto lastRequest = std::find_if(log.rbegin(), log.rend(), [](const WireRecord& r) { return r.FromProgram; });
    ASSERT_NE(lastRequest, log.rend());
    std::string sent = FrameOf(lastSent);
    std::string payload = Hex(lastRequest->Payload);
    ASSERT_GE(sent.size(), payload.size());
    EXPECT_EQ(sent.substr(sent.size() - payload.size()), payload) << "sent after the hang-up: " << sent;
    if (!c.Loader) return;
    // The store is whole: its directory reads as valid (a damaged one would be offered a format,
    // answered No without a terminal: status 5).
    RunResult list = CliScaled({"loader", "list", "--port", PortNameFor(newDevice)}, "5", kRunLimit);
    EXPECT_EQ(list.Status, 0) << list.Out << list.Err;
}

INSTANTIATE_TEST_SUITE_P(Commands, PortGone, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<GoneCase>& info) { return std::string(info.param.Name); });

// Two boards programmed at once; the first one's adapter is pulled mid-firmware. Only that board
// fails, with our line; the other finishes its programming.
TEST_F(CliTest, SeveralBoardsOnePulledOnlyThatBoardFails)
{
    if (std::getenv("FLASHER_CLI_COM_LINKS")) GTEST_SKIP() << "one COM link only under wine";
    StartSim({"--fault", "C9:100:1:hangup"});
    BackgroundProcess other({BOARD_SIM, "--clock-scale", "100", "--wire-log", Path("other.log")});
    ASSERT_FALSE(other.FirstLine().empty());
    const std::string otherPort = other.FirstLine();
    RunResult r = CliScaled({"--yes", "program", "--port", port, "--port", otherPort}, "5", kRunLimit);
    EXPECT_EQ(r.Status, 1) << r.Out << r.Err;
    EXPECT_NE(r.Err.find(port + ": Сверка: Соединение потеряно!"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find(port + ": Нет порта: " + kGoneLine), std::string::npos) << r.Err;
    EXPECT_NE(r.Out.find(otherPort + ": код 0, Программирование завершено!"), std::string::npos) << r.Out;
    EXPECT_EQ(r.Err.find(otherPort + ":"), std::string::npos) << r.Err;
    EXPECT_EQ(::CountRequests(ReadWireLog(Path("other.log")), 0xCA), 304u);
}

}   // namespace
