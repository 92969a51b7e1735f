// Opening, closing and holding the device, line settings, modem lines, a vanished device, and
// the port list.
#include "PtyPair.h"

#include "serial/Clock.h"
#include "serial/PortList.h"
#include "serial/Serial.h"
#include "serial/TwoWireBus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
using Lines = std::vector<std::pair<std::string, bool>>;

struct OpenFailCase {
    const char* name;
    int error;
    TProblemKind kind;
};
class OpenFailureTest : public testing::TestWithParam<OpenFailCase> {};
TEST_P(OpenFailureTest, ReportsTheReasonAndStaysClosed)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    TComPort port(false, true);
    port.Open(pty.SlavePath());
    ASSERT_TRUE(port.IsOpen());

    port.Open(GetParam().name);
    EXPECT_FALSE(port.IsOpen());
    ASSERT_TRUE(port.LastFailure());
    EXPECT_EQ(port.LastFailure()->Reason(), GetParam().error ? std::strerror(GetParam().error) : "Порт закрыт");
    EXPECT_EQ(port.LastFailure()->Kind(), GetParam().kind);
    EXPECT_EQ(port.PortName(), GetParam().name);
    uint8_t buffer[4];
    int32_t count = 5;
    EXPECT_FALSE(port.GetPacket(buffer, 4, count));
    EXPECT_EQ(count, 0);
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, OpenFailureTest, testing::Values(
    OpenFailCase{"", 0, TProblemKind::Other},
    OpenFailCase{"/dev/no-such-serial-port", ENOENT, TProblemKind::Missing},
    OpenFailCase{"/dev/null", ENOTTY, TProblemKind::Other}));
// clang-format on

TEST(PortOpen, SuccessClearsTheError)
{
    PtyPair pty;
    TComPort port(false, false);
    port.Open("");
    port.Open(pty.SlavePath());
    EXPECT_TRUE(port.IsOpen());
    EXPECT_FALSE(port.LastFailure());
    EXPECT_EQ(port.PortName(), pty.SlavePath());
}

TEST(PortOpen, PortHeldByAnotherProcessGivesTheSystemsText)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {   // another program holding the port the usual way
        close(ready[0]);
        close(release[1]);
        int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        char ok = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
        (void)!write(ready[1], &ok, 1);
        (void)!read(release[0], &ok, 1);
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 1);

    TComPort port(false, true);
    port.Open(pty.SlavePath());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastFailure(), TProblem(TProblemKind::Busy, std::strerror(EBUSY)));

    close(release[1]);
    waitpid(child, nullptr, 0);
    for (int fd : {ready[0], ready[1], release[0]}) close(fd);
    port.Open(pty.SlavePath());
    EXPECT_TRUE(port.IsOpen()) << "free again once the other program let go";
}

TEST(PortOpen, TwoPortObjectsCannotShareADevice)
{
    PtyPair pty;
    TComPort first(false, true), second(false, false);
    first.Open(pty.SlavePath());
    ASSERT_TRUE(first.IsOpen());
    second.Open(pty.SlavePath());
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.LastFailure(), TProblem(TProblemKind::Busy, std::strerror(EBUSY)));

    first.Open("");
    second.Open(pty.SlavePath());
    EXPECT_TRUE(second.IsOpen()) << PortErrorDetails(second);
}

// A simulator keeps its own handle on the terminal; the exclusive flag must not outlive our
// port, or a later Open by a normal user is refused.
TEST(PortOpen, ClosingLiftsTheExclusiveFlag)
{
    PtyPair pty;
    int keeper = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(keeper, 0);
    int exclusive = -1;
    {
        TComPort port(false, true);
        port.Open(pty.SlavePath());
        ASSERT_TRUE(port.IsOpen());
        ASSERT_EQ(ioctl(keeper, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 1);
        port.Open("");
        ASSERT_EQ(ioctl(keeper, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0);
        port.Open(pty.SlavePath());
    }
    ASSERT_EQ(ioctl(keeper, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "the destructor closes the same way";
    close(keeper);
}

TEST(PortOpen, LineSettings)
{
    PtyPair pty;
    TComPort port(false, true);
    port.SetBaudRate(57600);
    port.Open(pty.SlavePath());
    termios tio{};
    ASSERT_EQ(tcgetattr(pty.Master(), &tio), 0);   // the master reports the slave's settings
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_FALSE(tio.c_cflag & PARENB);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_TRUE(tio.c_cflag & CLOCAL);
    EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF));
    EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(tio.c_oflag & OPOST);
    EXPECT_EQ(OutputRate(pty.Master()), 19200) << "every Open starts at 19200";
    EXPECT_EQ(port.BaudRate(), 19200);
}

struct BaudCase {
    int32_t index;
    int32_t baud;
};
class BaudIndexTest : public testing::TestWithParam<BaudCase> {};
TEST_P(BaudIndexTest, SetsTheTableRate)
{
    PtyPair pty;
    TComPort port(false, false);
    port.Open(pty.SlavePath());
    port.SetBaudIndex(2);
    port.SetBaudIndex(GetParam().index);
    EXPECT_EQ(port.BaudRate(), GetParam().baud);
    EXPECT_EQ(OutputRate(pty.Master()), GetParam().baud);
    termios tio{};
    ASSERT_EQ(tcgetattr(pty.Master(), &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8)) << "the other settings stay";
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, BaudIndexTest, testing::Values(
    BaudCase{5, 19200}, BaudCase{-1, 19200}, BaudCase{0, 19200}, BaudCase{1, 28800},
    BaudCase{2, 38400}, BaudCase{3, 57600}, BaudCase{4, 115200}));
// clang-format on

TEST(PortOpen, ExchangeWorksAt28800)
{
    PtyPair pty;
    TComPort port(false, false);
    port.Open(pty.SlavePath());
    port.SetBaudIndex(1);
    uint8_t ping = 0xC8;
    ASSERT_TRUE(port.SendPacket(&ping, 1));
    EXPECT_EQ(pty.Read(4), Frame({0xC8}));
}

struct LinesCase {
    bool rtsOn, dtrOn;
};
class ModemLinesAtOpenTest : public testing::TestWithParam<LinesCase> {};
TEST_P(ModemLinesAtOpenTest, FollowTheFlags)
{
    PtyPair pty;
    TComPort port(GetParam().rtsOn, GetParam().dtrOn);
    Lines changes;
    port.SetOnModemLine([&](const char* line, bool on) { changes.emplace_back(line, on); });
    port.Open(pty.SlavePath());
    EXPECT_EQ(port.Dtr(), GetParam().dtrOn);
    EXPECT_EQ(port.Rts(), GetParam().rtsOn);
    EXPECT_EQ(changes, (Lines{{"DTR", GetParam().dtrOn}, {"RTS", GetParam().rtsOn}}));
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, ModemLinesAtOpenTest, testing::Values(
    LinesCase{false, true},     // the board link's port
    LinesCase{false, false}));  // the loader link's port

TEST(ModemLines, ClosedPortChangesNothing)
{
    TComPort port(false, true);
    // clang-format on
    Lines changes;
    port.SetOnModemLine([&](const char* line, bool on) { changes.emplace_back(line, on); });
    port.SetDtr(true);
    port.SetRts(true);
    TTwoWireBus bus(port);
    bus.Stop();
    bus.ClockPulses(3);
    EXPECT_TRUE(changes.empty());
    EXPECT_FALSE(port.Dtr());
    EXPECT_FALSE(port.Rts());
}

TEST(ModemLines, BusInitBringsTheLinesToIdleInOrder)
{
    PtyPair pty;
    TComPort port(false, true);
    port.Open(pty.SlavePath());
    Lines changes;
    port.SetOnModemLine([&](const char* line, bool on) { changes.emplace_back(line, on); });
    TTwoWireBus bus(port);
    Lines expected{{"DTR", false}, {"RTS", false}, {"DTR", false}, {"RTS", true}, {"DTR", true}};
    for (int i = 0; i < 64; ++i) {
        expected.emplace_back("RTS", false);
        expected.emplace_back("RTS", true);
    }
    EXPECT_EQ(changes, expected);
    EXPECT_TRUE(port.Dtr());
    EXPECT_TRUE(port.Rts());

    changes.clear();
    bus.ClockPulses(0);
    bus.ClockPulses(-3);
    EXPECT_TRUE(changes.empty());
    bus.SetSda(0);
    bus.SetScl(0);
    EXPECT_EQ(changes, (Lines{{"DTR", false}, {"RTS", false}}));
}

// The far end vanishes mid-packet, as when a USB adapter is pulled.
TEST(VanishedDevice, NoSpinWaitsTimeOutAndAnotherDeviceOpens)
{
    auto pty = std::make_unique<PtyPair>();
    TComPort port(false, true);
    port.Open(pty->SlavePath());
    ASSERT_TRUE(port.IsOpen());
    ASSERT_TRUE(pty->Write({0x06, 0x26}));
    Clock::Sleep(20);
    pty->CloseMaster();
    Clock::Sleep(50);   // the receive thread meets the hang-up

    long before = ReceiverCpuTicks();
    ASSERT_GE(before, 0) << "the receive thread is still there";
    Clock::Sleep(300);
    long used = ReceiverCpuTicks() - before;
    EXPECT_LE(used, 3) << "clock ticks of CPU in 300 ms: the receive thread spins";

    Clock::SetScale(100, 100);
    uint8_t buffer[8];
    int32_t count = 0;
    EXPECT_FALSE(port.WaitPacket(buffer, 8, 2000, count));
    EXPECT_FALSE(port.SendPacket(buffer, 1));
    EXPECT_TRUE(port.IsOpen());
    Clock::Reset();

    pty = std::make_unique<PtyPair>();
    port.Open(pty->SlavePath());
    ASSERT_TRUE(port.IsOpen()) << PortErrorDetails(port);
    ASSERT_TRUE(pty->Write(Frame({4, 2})));
    ASSERT_TRUE(port.WaitPacket(buffer, 8, 5000, count));
    EXPECT_EQ(count, 2);
}

double ThreadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The waiting thread reads the device itself while it waits, so it meets the hang-up too: the
// wait ends at once, without spinning, however long it was to last.
TEST(VanishedDevice, DuringAWaitTheWaitEndsAtOnceWithoutSpinning)
{
    PtyPair pty;
    TComPort port(false, true);
    port.Open(pty.SlavePath());
    ASSERT_TRUE(port.IsOpen());
    std::thread puller([&] {
        Clock::Sleep(30);
        pty.CloseMaster();
    });
    const double cpuBefore = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    uint8_t buffer[8];
    int32_t count = 0;
    EXPECT_FALSE(port.WaitPacket(buffer, 8, 60000, count));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << "the wait was waited out";
    EXPECT_LT(ThreadCpuSeconds() - cpuBefore, 0.1) << "the wait spun on the hung-up device";
    EXPECT_TRUE(port.Gone());
    puller.join();
}

// Once the device is gone nothing more is sent, no wait or pause runs, and closing keeps it said
// until another device is opened.
TEST(VanishedDevice, AGonePortEndsEveryWaitAndPauseAndSendsNothing)
{
    auto pty = std::make_unique<PtyPair>();
    TComPort port(false, true);
    port.Open(pty->SlavePath());
    ASSERT_TRUE(port.IsOpen());
    EXPECT_FALSE(port.Gone());
    pty->CloseMaster();
    for (int i = 0; i < 500 && !port.Gone(); ++i) Clock::Sleep(10);
    ASSERT_TRUE(port.Gone()) << "the receive thread did not notice the hang-up";
    EXPECT_TRUE(port.Halted());

    Clock::SetScale(1e-9, 1e-9);   // the tick counter stands still: only a wait skipped can end
    uint8_t buffer[8] = {};
    int32_t count = 0;
    EXPECT_FALSE(port.WaitPacket(buffer, 8, 3000, count));
    std::string text;
    EXPECT_FALSE(port.WaitPacketText(text, 3000));
    port.Pause(3500);
    EXPECT_FALSE(port.SendPacket(buffer, 1));
    EXPECT_FALSE(port.WriteRaw(buffer, 1));
    Clock::Reset();

    port.Open("");
    EXPECT_TRUE(port.Gone()) << "closing forgets what happened to the device";
    pty = std::make_unique<PtyPair>();
    port.Open(pty->SlavePath());
    EXPECT_FALSE(port.Gone());
}

TEST(PortList, NeverListsPseudoTerminalsAndKeepsNaturalOrder)
{
    PtyPair pty;
    std::vector<PortInfo> ports = EnumeratePorts();
    for (const PortInfo& port : ports) {
        EXPECT_NE(port.Path, pty.SlavePath());
        EXPECT_EQ(port.Path.rfind("/dev/pts/", 0), std::string::npos) << port.Path;
        EXPECT_NE(port.Path, "/dev/ptmx");
        EXPECT_NE(port.Path, "/dev/tty");
        EXPECT_NE(port.Path, "/dev/console");
    }
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(),
                               [](const PortInfo& a, const PortInfo& b) { return NaturalLess(a.Path, b.Path); }));

    TComPort port(false, true);
    ASSERT_EQ(port.KnownPorts().size(), ports.size());
    for (size_t i = 0; i < ports.size(); ++i) EXPECT_EQ(port.KnownPorts()[i], ports[i].Path);
    EXPECT_LE(port.FreePorts().size(), port.KnownPorts().size());
}
}   // namespace
