// Every fault the simulated board can make against every flasher-cli command, once at the first
// request the command sends and once at a request in the middle of its work. Each row checks the
// exit status the fault deserves, that the run ends within the protocol's timeouts (scaled) plus
// a margin, that the port is free again (a run right after, without the fault, succeeds), and
// that nothing in the loader's flash changed that the command did not mean to change.
#include "tests/cli/CliFixture.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;
using std::chrono::milliseconds;

namespace {

// board-sim's fault kinds, in the order of the expectation arrays below.
constexpr std::array<const char*, 8> kKinds = {"silent", "bad", "case", "sum", "late", "malformed", "zero", "hangup"};
constexpr size_t kLate = 4, kHangUp = 7;

// Reply timeouts run this much faster than real time: only the waits a fault causes are shortened,
// and a healthy reply still has 660 ms or more, enough for a machine whose two cores run several
// sanitized test programs at once.
constexpr int kReplySpeedup = 3;
// A late reply comes this many real ms after its request: well inside the shortest timeout
// (2000 ms / kReplySpeedup), far beyond a healthy reply.
constexpr int kLateRealMs = 100;

enum class Family { Board, Loader };

// How much faster than real time the program's pauses and the board's clock run. The board
// ends its break-in after a quiet second of its clock, which must fall well inside the program's
// two-second pause after the burst however late the machine lets the board read the burst's last
// bytes: the board family leaves it 490 ms, near what a healthy reply gets. The loader has no
// pauses worth the name; its simulator saves the flash file less often on a slower clock.
int ProgramSpeedup(Family f) { return f == Family::Board ? 4 : 100; }
int BoardSpeedup(Family f) { return f == Family::Board ? 100 : 10; }

struct Expect {
    int Status;                  // flasher-cli's exit status
    const char* NotApplicable;   // why the fault cannot apply here (no run), or null
};
constexpr Expect Exit(int status) { return {status, nullptr}; }
constexpr Expect Na(const char* why) { return {-1, why}; }

constexpr Expect kTextReply = Na("the reply is text: there are no data bytes to zero");
constexpr Expect kDataReply = Na("the reply is data: it has no letter case");

// What of the loader's flash a command may change: nothing, block 2's slot mark, block 2 (its
// slot and its area), or the two directory copies.
enum class Changes { Nothing, Slot, Block, Directory };

// The request a fault hits: the From-th of Command (0: of all requests), and Count requests from
// there, so that the fault lasts through every attempt the program makes at that request.
struct Spot {
    uint8_t Command;
    int From;
    int Count;
};

struct CommandCase {
    const char* Name;
    Family Kind;
    std::vector<std::string> Args;   // without --port
    Changes May;
    Spot Middle;            // Count 0: the command has no middle
    milliseconds Healthy;   // a generous bound on a healthy run under sanitizers and load
    std::array<Expect, 8> AtFirst, InMiddle;
};

// The first request of a board workflow is the reset 0x12; a board that does not answer it is
// asked to be switched on and caught by the break-in all the same, so only a hang-up stops it.
constexpr std::array<Expect, 8> kBoardReset = {Exit(0), Exit(0), Exit(0),    Exit(0),
                                               Exit(0), Exit(0), kTextReply, Exit(1)};
// The first request of every loader command is the baud request 0xA9, whose answer the link does
// not look at: the handshake that follows tells.
constexpr std::array<Expect, 8> kLoaderBaud = {Exit(0), Exit(0), Exit(0),    Exit(0),
                                               Exit(0), Exit(0), kTextReply, Exit(1)};
// A loader request answered with text ("FLHOK", "CLKOK") in the middle of an operation: anything
// but the word in time fails it.
constexpr std::array<Expect, 8> kLoaderWrite = {Exit(1), Exit(1), Exit(1),    Exit(1),
                                                Exit(0), Exit(1), kTextReply, Exit(1)};

// What `write` stores: the firmware alone, under a new name.
const std::vector<std::string> kNewWrite = {"loader", "write", "--block", "2", "--name", "Новый"};

std::vector<std::string> WithYes(std::vector<std::string> args)
{
    args.insert(args.begin(), "--yes");
    return args;
}

// clang-format off
const CommandCase kCommands[] = {
    // The 152nd firmware block; the fault lasts through the five attempts at it.
    {"program", Family::Board, {"program"}, Changes::Nothing, {0xC9, 152, 5}, milliseconds(8000),
     kBoardReset, {Exit(1), Exit(2), Exit(1), Exit(1), Exit(0), Exit(1), kTextReply, Exit(1)}},
    // The 512th RAM read (no second attempt); zeros read back are RAM errors.
    {"ramtest", Family::Board, {"ramtest"}, Changes::Nothing, {0xD4, 512, 1}, milliseconds(15000),
     kBoardReset, {Exit(1), Exit(1), kDataReply, Exit(1), Exit(0), Exit(1), Exit(2), Exit(1)}},
    // No reset: the first request is the ping after the break-in. The fourth of eight reads in the
    // middle; a configuration area of zeros is as good as any other.
    {"config", Family::Board, {"config"}, Changes::Nothing, {0xD1, 4, 1}, milliseconds(5000),
     {Exit(1), Exit(1), Exit(1), Exit(1), Exit(0), Exit(1), kTextReply, Exit(1)},
     {Exit(1), Exit(1), kDataReply, Exit(1), Exit(0), Exit(1), Exit(0), Exit(1)}},
    // One request that awaits no reply: the program cannot tell whether the board heard it.
    {"start", Family::Board, {"start"}, Changes::Nothing, {0, 0, 0}, milliseconds(3000),
     {Exit(0), Na("no reply is awaited"), Na("no reply is awaited"), Na("no reply is awaited"),
      Na("no reply is awaited"), Na("no reply is awaited"), Na("no reply is awaited"), Exit(0)},
     {Na("one request only"), Na("one request only"), Na("one request only"), Na("one request only"),
      Na("one request only"), Na("one request only"), Na("one request only"), Na("one request only")}},
    // A chunk of the directory's reference copy. Zeros there make the store read as damaged: the
    // offer to format it is answered No without a terminal.
    {"list", Family::Loader, {"loader", "list"}, Changes::Nothing, {0xA7, 100, 1}, milliseconds(4000),
     kLoaderBaud, {Exit(1), Exit(1), kDataReply, Exit(1), Exit(0), Exit(1), Exit(5), Exit(1)}},
    // Into block 2, which holds other data: erased, then a chunk in the middle of the firmware.
    {"write", Family::Loader, WithYes(kNewWrite), Changes::Block,
     {0xA6, 170, 1}, milliseconds(8000), kLoaderBaud, kLoaderWrite},
    // The slot write that erases block 2.
    {"erase", Family::Loader, {"--yes", "loader", "erase", "--block", "2"}, Changes::Slot, {0xA6, 1, 1},
     milliseconds(4000), kLoaderBaud, kLoaderWrite},
    // The last of the primary copy's 68 chunks, of 136.
    {"format", Family::Loader, {"--yes", "loader", "format"}, Changes::Directory, {0xA6, 68, 1},
     milliseconds(8000), kLoaderBaud, kLoaderWrite},
    // The clock write of --sync.
    {"clock", Family::Loader, {"loader", "clock", "--sync"}, Changes::Nothing, {0xA3, 1, 1}, milliseconds(4000),
     kLoaderBaud, kLoaderWrite},
    // A chunk in the middle of block 2's data (the refresh reads 149 chunks first). Zeros in a
    // valid packet cannot be told from data: the protocol carries no check of a block's content.
    {"dump", Family::Loader, {"loader", "dump", "--block", "2"}, Changes::Nothing, {0xA7, 320, 1},
     milliseconds(6000), kLoaderBaud, {Exit(1), Exit(1), kDataReply, Exit(1), Exit(0), Exit(1), Exit(0), Exit(1)}},
};
// clang-format on

// The longest the protocol may make a run wait because of one faulty request, in real time: the
// five attempts of an acknowledged board exchange (3000 ms each and a 2000 ms pause) after a reset
// left unanswered; for the loader, the failed request and a handshake of six attempts after it,
// with the baud request in front (3000 ms each).
milliseconds FaultAllowance(Family f)
{
    const int reply = 3000 / kReplySpeedup;
    if (f == Family::Board) return milliseconds(reply + 5 * (reply + 2000 / ProgramSpeedup(f)));
    return milliseconds(8 * reply);
}

// One row: the command (index into kCommands), whether the fault is in its middle (else at its
// first request), and the fault kind (index into kKinds).
using RowParam = std::tuple<size_t, bool, size_t>;

std::string RowName(const RowParam& p)
{
    return std::string(kCommands[std::get<0>(p)].Name) + (std::get<1>(p) ? "_Middle_" : "_First_") +
           kKinds[std::get<2>(p)];
}

Expect ExpectOf(const RowParam& p)
{
    const CommandCase& c = kCommands[std::get<0>(p)];
    return std::get<1>(p) ? c.InMiddle[std::get<2>(p)] : c.AtFirst[std::get<2>(p)];
}

Spot SpotOf(const RowParam& p) { return std::get<1>(p) ? kCommands[std::get<0>(p)].Middle : Spot{0, 1, 1}; }

milliseconds Budget(const CommandCase& c) { return c.Healthy + FaultAllowance(c.Kind); }

std::string FaultSpec(const Spot& spot, size_t kind, int boardSpeedup)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02X:%d:%d:%s", spot.Command, spot.From, spot.Count, kKinds[kind]);
    std::string spec = text;
    // The delay is in the board's clock.
    if (kind == kLate) spec += ":" + std::to_string(kLateRealMs * boardSpeedup);
    return spec;
}

// Requests of the spot's command (0: all) the board heard. A run that awaits no reply may end
// before the board has heard its request: it is given a moment.
size_t FramesHeard(const std::string& wireLog, const Spot& spot)
{
    auto heard = [&] {
        auto log = ReadWireLog(wireLog);
        return static_cast<size_t>(std::count_if(log.begin(), log.end(), [&](const WireRecord& r) {
            return r.FromProgram && !r.Raw && (spot.Command == 0 || r.Command() == spot.Command);
        }));
    };
    size_t n = heard();
    for (int i = 0; i < 100 && n < static_cast<size_t>(spot.From); ++i) {
        std::this_thread::sleep_for(milliseconds(20));
        n = heard();
    }
    return n;
}

// What a row's runs left, for its test to judge.
struct RowRun {
    bool SimStarted = false;
    RunResult Run;           // the command with the fault
    size_t Heard = 0;        // requests of the fault's command the board heard
    bool DumpLeft = false;   // an --out file exists
    bool LineBack = true;    // after a hang-up, the simulator brought a new device up
    RunResult Next;          // the run right after, past the fault
    std::vector<uint8_t> Flash;
};

// Runs one row in `dir` on a copy of `store`: board-sim with the fault, the command, then right
// after a `start` on the same port (one still held fails with status 3), then the simulator is
// stopped so that its flash file is complete.
RowRun ExecuteRow(const RowParam& p, const fs::path& dir, const fs::path& store)
{
    const CommandCase& c = kCommands[std::get<0>(p)];
    const size_t kind = std::get<2>(p);
    const std::string scale = std::to_string(ProgramSpeedup(c.Kind)) + "," + std::to_string(kReplySpeedup);
    const std::string link = (dir / "port").string(), flash = (dir / "flash.bin").string();
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(store, flash);
    BackgroundProcess sim({BOARD_SIM, "--clock-scale", std::to_string(BoardSpeedup(c.Kind)), "--wire-log",
                           (dir / "wire.log").string(), "--flash", flash, "--link", link, "--fault",
                           FaultSpec(SpotOf(p), kind, BoardSpeedup(c.Kind))});
    RowRun r;
    r.SimStarted = !sim.FirstLine().empty();
    if (!r.SimStarted) return r;
    std::vector<std::string> args = {FLASHER_CLI};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    args.insert(args.end(), {"--port", link});
    if (std::string(c.Name) == "dump") args.insert(args.end(), {"--out", (dir / "dump.img").string()});
    r.Run = RunProcess(args, CliEnvironment(scale), 4 * Budget(c));
    r.Heard = FramesHeard((dir / "wire.log").string(), SpotOf(p));
    r.DumpLeft = fs::exists(dir / "dump.img");
    // After a hang-up the simulator brings a new device up behind the same link and prints it.
    if (kind == kHangUp) r.LineBack = !sim.NextLine().empty();
    r.Next = RunProcess({FLASHER_CLI, "start", "--port", link}, CliEnvironment(scale), 4 * Budget(c));
    sim.Stop();
    r.Flash = FileBytes(flash);
    fs::remove_all(dir);
    return r;
}

// Rows run a few at a time on worker threads, ahead of the tests that judge them in order: nearly
// all of a row's time is spent waiting (pauses, timeouts, the other processes), so the matrix
// takes a fraction of the time of one row after another.
class RowPool {
public:
    void Start(std::vector<std::pair<std::string, RowParam>> rows, const fs::path& dir, const fs::path& store,
               int workers)
    {
        rows_ = std::move(rows);
        dir_ = dir;
        store_ = store;
        for (int i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
    }
    // Waits for the row's runs; a row that was never scheduled comes back with SimStarted false.
    RowRun Take(const std::string& name)
    {
        std::unique_lock guard(lock_);
        auto scheduled = std::find_if(rows_.begin(), rows_.end(), [&](const auto& row) { return row.first == name; });
        if (scheduled == rows_.end()) return {};
        done_.wait(guard, [&] { return results_.count(name) != 0; });
        RowRun r = std::move(results_[name]);
        results_.erase(name);
        return r;
    }
    void Stop()
    {
        {
            std::lock_guard guard(lock_);
            next_ = rows_.size();
        }
        for (std::thread& t : threads_) t.join();
        threads_.clear();
    }

private:
    void Work()
    {
        for (;;) {
            std::pair<std::string, RowParam> row;
            {
                std::lock_guard guard(lock_);
                if (next_ >= rows_.size()) return;
                row = rows_[next_++];
            }
            RowRun r = ExecuteRow(row.second, dir_ / row.first, store_);
            std::lock_guard guard(lock_);
            results_[row.first] = std::move(r);
            done_.notify_all();
        }
    }

    std::mutex lock_;
    std::condition_variable done_;
    std::vector<std::pair<std::string, RowParam>> rows_;
    size_t next_ = 0;
    std::map<std::string, RowRun> results_;
    std::vector<std::thread> threads_;
    fs::path dir_, store_;
};

// Rows at a time: each is mostly waiting, and a few at once still leave a healthy reply its
// margin on a loaded two-core machine.
constexpr int kWorkers = 3;

// The store every row starts from: formatted, block 2 holding the firmware with fonts under
// another name; and the same store after a healthy `write`, for what that command means to leave.
class FaultMatrix : public testing::TestWithParam<RowParam> {
protected:
    static void SetUpTestSuite()
    {
        storeDir = fs::temp_directory_path() / ("fault-matrix-" + std::to_string(getpid()));
        fs::remove_all(storeDir);
        fs::create_directories(storeDir);
        const std::string fonts = (storeDir / "fonts.gly").string();
        ::WriteFontFile(fonts, true);
        const std::string before = (storeDir / "before.bin").string();
        ASSERT_TRUE(PrepareStore(
            before, {{"loader", "format"}, {"loader", "write", "--block", "2", "--name", "Старый", "--fonts", fonts}}));
        const std::string written = (storeDir / "written.bin").string();
        fs::copy_file(before, written);
        ASSERT_TRUE(PrepareStore(written, {kNewWrite}));
        beforeStore = FileBytes(before);
        writtenStore = FileBytes(written);
        ASSERT_EQ(beforeStore.size(), 4096u * 528u);
        ASSERT_EQ(writtenStore.size(), beforeStore.size());
        pool.Start(RowsToRun(), storeDir, before, kWorkers);
    }
    static void TearDownTestSuite()
    {
        pool.Stop();
        fs::remove_all(storeDir);
    }

    // The rows this run of the program is to judge (a filter or a shard may leave some out),
    // without those the table marks as not applicable.
    static std::vector<std::pair<std::string, RowParam>> RowsToRun()
    {
        std::vector<std::string> wanted;
        const testing::TestSuite* suite = testing::UnitTest::GetInstance()->current_test_suite();
        for (int i = 0; i < suite->total_test_count(); ++i) {
            const testing::TestInfo* test = suite->GetTestInfo(i);
            std::string name = test->name();
            if (test->should_run()) wanted.push_back(name.substr(name.find('/') + 1));
        }
        std::vector<std::pair<std::string, RowParam>> rows;
        for (const std::string& name : wanted)
            for (size_t c = 0; c < std::size(kCommands); ++c)
                for (bool middle : {false, true})
                    for (size_t k = 0; k < kKinds.size(); ++k) {
                        RowParam p{c, middle, k};
                        if (RowName(p) == name && !ExpectOf(p).NotApplicable) rows.push_back({name, p});
                    }
        return rows;
    }

    static inline fs::path storeDir;
    static inline std::vector<uint8_t> beforeStore, writtenStore;
    static inline RowPool pool;
};

bool SameRange(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, uint32_t from, uint32_t count)
{
    return std::equal(a.begin() + from, a.begin() + from + count, b.begin() + from);
}

// Equal outside the ranges [from, from + count) given.
void ExpectUnchangedOutside(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after,
                            std::vector<std::pair<uint32_t, uint32_t>> ranges)
{
    ranges.push_back({static_cast<uint32_t>(before.size()), 0});
    uint32_t at = 0;
    for (const auto& [from, count] : ranges) {
        EXPECT_TRUE(SameRange(before, after, at, from - at)) << "changed between " << at << " and " << from;
        at = from + count;
    }
}

uint32_t Slot(const std::vector<uint8_t>& flash, int block)
{
    uint32_t a = BlockSlot(block);
    return flash[a] | flash[a + 1] << 8 | flash[a + 2] << 16 | static_cast<uint32_t>(flash[a + 3]) << 24;
}

constexpr uint32_t kEmptyMark = 0xFF000000u;

// Block 2 either keeps its data, or is marked empty, or holds what a healthy write leaves; never
// marked full over data that is neither.
void ExpectBlockWhole(const std::vector<uint8_t>& before, const std::vector<uint8_t>& written,
                      const std::vector<uint8_t>& after)
{
    const uint32_t slot = Slot(after, 2);
    EXPECT_TRUE(slot == Slot(before, 2) || slot == (Slot(before, 2) | kEmptyMark)) << std::hex << slot;
    if (slot & kEmptyMark) return;
    EXPECT_TRUE(SameRange(before, after, BlockArea(2), BlockAreaSize) ||
                SameRange(written, after, BlockArea(2), BlockAreaSize))
        << "block 2 is marked full over data that is neither the old nor the new";
}

void ExpectFlashAsMeant(Changes may, const std::vector<uint8_t>& before, const std::vector<uint8_t>& written,
                        const std::vector<uint8_t>& after)
{
    ASSERT_EQ(after.size(), before.size());
    switch (may) {
    case Changes::Nothing: ExpectUnchangedOutside(before, after, {}); break;
    case Changes::Slot: {
        ExpectUnchangedOutside(before, after, {{BlockSlot(2), 4}});
        uint32_t slot = Slot(after, 2);
        EXPECT_TRUE(slot == Slot(before, 2) || slot == (Slot(before, 2) | kEmptyMark)) << std::hex << slot;
        break;
    }
    case Changes::Block:
        ExpectUnchangedOutside(before, after, {{BlockSlot(2), 4}, {BlockArea(2), BlockAreaSize}});
        ExpectBlockWhole(before, written, after);
        break;
    case Changes::Directory:
        // Formatting marks every block empty and leaves the block areas alone.
        ExpectUnchangedOutside(before, after, {{0, 2112}, {2160576, 2112}});
        break;
    }
}

}   // namespace

TEST_P(FaultMatrix, Row)
{
    const Expect expect = ExpectOf(GetParam());
    if (expect.NotApplicable) GTEST_SKIP() << expect.NotApplicable;
    const CommandCase& c = kCommands[std::get<0>(GetParam())];
    const RowRun r = pool.Take(RowName(GetParam()));
    ASSERT_TRUE(r.SimStarted);

    EXPECT_FALSE(r.Run.TimedOut) << "killed after " << r.Run.Elapsed.count() << " ms";
    EXPECT_EQ(r.Run.Status, expect.Status) << r.Run.Out;
    EXPECT_LE(r.Run.Elapsed.count(), Budget(c).count()) << "ms, more than the timeouts allow";
    EXPECT_GE(r.Heard, static_cast<size_t>(SpotOf(GetParam()).From))
        << "the run never sent the request the fault was for";
    if (std::string(c.Name) == "dump" && r.Run.Status != 0) {
        EXPECT_FALSE(r.DumpLeft) << "a failed dump left a file";
    }
    EXPECT_TRUE(r.LineBack) << "the line did not come back after the hang-up";
    EXPECT_EQ(r.Next.Status, 0) << r.Next.Out;
    ExpectFlashAsMeant(c.May, beforeStore, writtenStore, r.Flash);
}

INSTANTIATE_TEST_SUITE_P(AllFaults, FaultMatrix,
                         testing::Combine(testing::Range<size_t>(0, std::size(kCommands)), testing::Bool(),
                                          testing::Range<size_t>(0, kKinds.size())),
                         [](const testing::TestParamInfo<RowParam>& info) { return RowName(info.param); });
