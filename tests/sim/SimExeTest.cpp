// board-sim as a person or another process runs it: the path on stdout, the link, faults and
// the wire log from the command line, a clean end on SIGTERM.
#include "SimFixture.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class BoardSimProcess {
public:
    explicit BoardSimProcess(std::vector<std::string> args)
    {
        int out[2];
        if (::pipe(out) != 0) return;
        std::vector<char*> argv;
        std::string exe = BOARD_SIM_PATH;
        argv.push_back(exe.data());
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        out_ = out[0];
    }

    ~BoardSimProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }

    // One line of its stdout; empty after 5 real seconds without one, or at its end.
    std::string ReadLine()
    {
        std::string line;
        char c = 0;
        for (;;) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0 || ::read(out_, &c, 1) != 1) return line;
            if (c == '\n') return line;
            line += c;
        }
    }

    // Exit status after SIGTERM (or when it ends by itself); -1 when it ended otherwise.
    int Terminate(bool signal = true)
    {
        if (signal) ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void Kill()
    {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    std::string ReadAll()
    {
        std::string all;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(out_, buffer, sizeof buffer)) > 0) all.append(buffer, static_cast<size_t>(n));
        return all;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

std::vector<std::string> ReadLines(const std::string& file)
{
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The board runs in another process here, so nothing tells when it has caught the burst: both
// clocks run 20 times fast, and the pause after the burst leaves the board's quiet second a wide
// margin (100 ms real) on a loaded machine. The base's in-process board is not started.
class BoardSimExeTest : public SimulatedBoardTest {
protected:
    BoardSimExeTest() : SimulatedBoardTest(20) {}
    void TearDown() override
    {
        port.Open("");
        std::filesystem::remove(link);
        std::filesystem::remove(wireLog);
    }

    Bytes Ask(const Bytes& payload, int32_t timeoutTicks = 3000)
    {
        EXPECT_TRUE(port.SendPacket(payload.data(), static_cast<int32_t>(payload.size())));
        uint8_t buffer[256];
        int32_t count = 0;
        if (!port.WaitPacket(buffer, sizeof buffer, timeoutTicks, count)) return {};
        return Bytes(buffer, buffer + count);
    }

    // The burst, the board's quiet second and a margin, then a ping.
    Bytes BreakInAndPing()
    {
        Bytes burst(1024, 0x5C);
        EXPECT_TRUE(port.WriteRaw(burst.data(), static_cast<int32_t>(burst.size())));
        Clock::Sleep(3000);
        return Ask(Request(0xC8, 8));
    }

    std::string base = ::testing::TempDir() + "board-sim-exe-" + std::to_string(::getpid());
    std::string link = base + ".link";
    std::string wireLog = base + ".wire";
    TComPort port{false, true};
};

TEST_F(BoardSimExeTest, ServesOnThePrintedPathAndTheLinkUntilSigterm)
{
    BoardSimProcess board(
        {"--link", link, "--wire-log", wireLog, "--clock-scale", "20", "--version", "3.1", "--fault", "C8:1:1:case"});
    std::string path = board.ReadLine();
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), path);

    port.Open(link);
    ASSERT_FALSE(port.LastFailure()) << PortErrorDetails(port);
    EXPECT_EQ(Ask(Request(0x12, 6)), Text("RSTOK"));
    EXPECT_EQ(BreakInAndPing(), Text("ok!"));
    EXPECT_EQ(Ask(Request(0xD0, 8)), (Bytes{0x09, '3', '1'}));
    port.Open("");
    EXPECT_EQ(board.Terminate(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

    std::vector<std::string> lines = ReadLines(wireLog);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_NE(lines[0].find(" req frame valid 19200 120000000000"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(" rep frame valid 19200 5253544F4B"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(" req raw valid 19200 1024"), std::string::npos) << lines[2];
    EXPECT_NE(lines[4].find(" rep frame valid 19200 6F6B21"), std::string::npos) << lines[4];
    EXPECT_NE(lines[6].find(" rep frame valid 19200 093331"), std::string::npos) << lines[6];
}

TEST_F(BoardSimExeTest, HangUpFaultBringsANewDeviceWhosePathIsPrinted)
{
    BoardSimProcess board({"--link", link, "--clock-scale", "20", "--fault", "12:1:1:hangup"});
    std::string first = board.ReadLine();
    ASSERT_FALSE(first.empty());
    port.Open(link);
    ASSERT_FALSE(port.LastFailure()) << PortErrorDetails(port);
    ASSERT_TRUE(port.SendPacket(Request(0x12, 6).data(), 6));
    std::string second = board.ReadLine();
    ASSERT_FALSE(second.empty());
    EXPECT_NE(second, first);
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), second);
    port.Open(link);
    ASSERT_FALSE(port.LastFailure()) << PortErrorDetails(port);
    EXPECT_EQ(Ask(Request(0x12, 6)), Text("RSTOK"));
    port.Open("");
    EXPECT_EQ(board.Terminate(), 0);
}

// The board's clock runs at real time here, so the write that used to reach the file only 100 ms
// after the last one would be missing; the test's own clock runs fast, so its waits are long.
// Killed at any step of a write, the flash file holds every chunk answered so far and nothing else.
class KilledBoardSim : public BoardSimExeTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(KilledBoardSim, FlashFileHoldsEveryWriteAnsweredBeforeTheKill)
{
    const uint32_t chunks = GetParam();
    const std::string flash = base + ".flash";
    BoardSimProcess board({"--link", link, "--flash", flash});
    ASSERT_FALSE(board.ReadLine().empty());
    port.Open(link);
    ASSERT_FALSE(port.LastFailure()) << PortErrorDetails(port);
    port.SetBaudIndex(2);   // the loader's rate
    Bytes written;
    // Chunks of 16 bytes from the first block's area on: none crosses a page's end, where it would wrap.
    for (uint32_t chunk = 0; chunk < chunks; ++chunk) {
        const uint32_t address = 3696 + 16 * chunk;
        Bytes request = {0xA6, static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8),
                         static_cast<uint8_t>(address), 0x06};
        for (uint32_t i = 0; i < 16; ++i) request.push_back(static_cast<uint8_t>(chunk * 7 + i));
        written.insert(written.end(), request.begin() + 5, request.end());
        ASSERT_EQ(Ask(request, 100000), Text("FLHOK")) << "chunk " << chunk;
    }
    board.Kill();
    port.Open("");

    std::ifstream in(flash, std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), {}};
    std::filesystem::remove(flash);
    ASSERT_EQ(file.size(), 528u * 4096u);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), file.begin() + 3696));
    EXPECT_EQ(file[3695], 0xFF);
    EXPECT_EQ(file[3696 + written.size()], 0xFF);
}

// After the first chunk, in the middle of the first page, at the page's end, after the last.
INSTANTIATE_TEST_SUITE_P(Steps, KilledBoardSim, ::testing::Values(1u, 17u, 33u, 66u));

TEST_F(BoardSimExeTest, HelpExplainsEveryOption)
{
    BoardSimProcess board({"--help"});
    std::string help = board.ReadAll();
    EXPECT_EQ(board.Terminate(false), 0);
    for (const char* option : {"--link", "--pace", "--flash", "--version", "--no-version", "--board-off",
                               "--loader-off", "--twelve-hour", "--clock-scale", "--fault", "--wire-log", "SIGTERM"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

TEST_F(BoardSimExeTest, BadFaultSpecEndsWithAUsageError)
{
    BoardSimProcess board({"--fault", "C8:1:1:loud"});
    EXPECT_EQ(board.ReadLine(), "");
    EXPECT_EQ(board.Terminate(false), 2);
}

}   // namespace
