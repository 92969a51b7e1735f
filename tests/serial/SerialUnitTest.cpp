// Parts of the serial unit that need no device: checksums, the wait timer, the receive ring,
// port ordering and lock detection.
#include "serial/Clock.h"
#include "serial/PortList.h"
#include "serial/Serial.h"
#include "serial/SerialPlatform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <unistd.h>

using Bytes = std::vector<uint8_t>;

struct SumCase {
    Bytes data;
    uint8_t sumA, sumB;
};
class ChecksumsTest : public testing::TestWithParam<SumCase> {};
TEST_P(ChecksumsTest, Sums)
{
    uint8_t a = 0x55, b = 0x55;
    Checksums(GetParam().data.data(), static_cast<int32_t>(GetParam().data.size()), a, b);
    EXPECT_EQ(a, GetParam().sumA);
    EXPECT_EQ(b, GetParam().sumB);
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, ChecksumsTest, testing::Values(
    SumCase{{0x61, 0x62, 0x63}, 0x26, 0x6A},                  // "abc": 61 + 31 + D8
    SumCase{{}, 0, 0},
    SumCase{{0x01}, 0x01, 0x01},
    // Rotations by 0..7, then position 8 rotates by 0 again: 01 80 40 20 10 08 04 02 | 01.
    SumCase{{1, 1, 1, 1, 1, 1, 1, 1, 1}, 0x09, 0x00},   // 0xFF + 1
    SumCase{{0xFF, 0xFF}, 0xFE, 0xFE}));
// clang-format on

TEST(Checksums, NegativeCountGivesZero)
{
    uint8_t data[1] = {7}, a = 1, b = 1;
    Checksums(data, -4, a, b);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
}

TEST(BaudRates, Table)
{
    EXPECT_EQ(Bytes(BaudRates, BaudRates + 5).size(), 5u);
    const int32_t expected[5] = {19200, 28800, 38400, 57600, 115200};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(BaudRates[i], expected[i]);
}

// The tick counter is frozen (a vanishing speed) and moved by hand: no real waiting.
class WaitTimerTest : public testing::Test {
protected:
    void SetUp() override { Clock::SetScale(1e-9, 1e-9); }
    void TearDown() override { Clock::Reset(); }
};

TEST_F(WaitTimerTest, ExpiresAcrossTheWrap)
{
    Clock::SetTickCount(0xFFFFFF00u);
    TWaitTimer timer;
    timer.Start(1000);
    EXPECT_EQ(timer.StartTick, 0xFFFFFF00u);
    EXPECT_FALSE(timer.Expired());
    Clock::SetTickCount(0xFFFFFFFFu);
    EXPECT_FALSE(timer.Expired());
    Clock::SetTickCount(0xFFFFFF00u + 999u);   // 743 after the wrap
    EXPECT_FALSE(timer.Expired());
    Clock::SetTickCount(0xFFFFFF00u + 1000u);
    EXPECT_TRUE(timer.Expired());
}

TEST_F(WaitTimerTest, NothingToWaitFor)
{
    TWaitTimer never;
    EXPECT_TRUE(never.Expired());
    Clock::SetTickCount(5);
    for (int32_t timeout : {0, -1, -100000}) {
        TWaitTimer timer;
        timer.Start(timeout);
        EXPECT_TRUE(timer.Expired()) << timeout;
    }
}

TEST(Buffer, RingKeepsOrderWrapsAndDropsWhenFull)
{
    TBuffer buffer(4);
    for (uint8_t b : {1, 2, 3}) buffer.Put(b);
    EXPECT_EQ(buffer.Get(), 1);
    EXPECT_EQ(buffer.Get(), 2);
    for (uint8_t b : {4, 5, 6, 7}) buffer.Put(b);   // wraps; 7 finds the ring full
    EXPECT_EQ(buffer.Count(), 4u);
    Bytes got;
    for (int i = 0; i < 5; ++i) got.push_back(buffer.Get());
    EXPECT_EQ(got, (Bytes{3, 4, 5, 6, 0}));   // an empty ring gives 0
}

TEST(Buffer, ClearDropsEverything)
{
    TBuffer buffer(16);
    buffer.Put(9);
    buffer.Expected = 6;
    buffer.Ready = true;
    buffer.Clear();
    EXPECT_EQ(buffer.Count(), 0u);
    EXPECT_EQ(buffer.Expected, 0);
    EXPECT_FALSE(buffer.Ready);
}

TEST(Buffer, TakePacketCutsToMaximumAndLeavesCountWhenNotReady)
{
    TBuffer buffer(16);
    uint8_t dest[8] = {};
    int32_t count = 77;
    EXPECT_FALSE(buffer.TakePacket(dest, 8, count));
    EXPECT_EQ(count, 77);
    buffer.PacketLength = 5;
    for (uint8_t i = 0; i < 5; ++i) buffer.Payload[i] = static_cast<uint8_t>(10 + i);
    buffer.Ready = true;
    EXPECT_TRUE(buffer.TakePacket(dest, 2, count));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(dest[0], 10);
    EXPECT_EQ(dest[1], 11);
    EXPECT_EQ(dest[2], 0);
    EXPECT_FALSE(buffer.TakePacket(dest, 8, count));
    EXPECT_EQ(buffer.PacketLength, 0);
}

struct OrderCase {
    const char* a;
    const char* b;
    bool less;
};
class NaturalLessTest : public testing::TestWithParam<OrderCase> {};
TEST_P(NaturalLessTest, Orders) { EXPECT_EQ(NaturalLess(GetParam().a, GetParam().b), GetParam().less); }
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, NaturalLessTest, testing::Values(
    OrderCase{"/dev/ttyS2", "/dev/ttyS10", true},
    OrderCase{"/dev/ttyS10", "/dev/ttyS2", false},
    OrderCase{"/dev/ttyS9", "/dev/ttyS9", false},
    OrderCase{"/dev/ttyACM0", "/dev/ttyS0", true},
    OrderCase{"/dev/ttyUSB1", "/dev/ttyUSB0", false},
    OrderCase{"/dev/ttyUSB", "/dev/ttyUSB0", true},
    OrderCase{"/dev/ttyUSB0", "/dev/ttyUSB", false},
    OrderCase{"/dev/ttyAMA02", "/dev/ttyAMA10", true},
    OrderCase{"/dev/ttyX01", "/dev/ttyX1", true},        // equal as numbers: still a strict order
    OrderCase{"/dev/ttyX1", "/dev/ttyX01", false},
    OrderCase{"a99999999999999999999", "a100000000000000000000", true}));
// clang-format on

TEST(NaturalLess, SortsAList)
{
    std::vector<std::string> names{"ttyUSB10", "ttyS1", "ttyUSB2", "ttyACM0", "ttyS0", "ttyUSB1"};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, (std::vector<std::string>{"ttyACM0", "ttyS0", "ttyS1", "ttyUSB1", "ttyUSB2", "ttyUSB10"}));
}

struct LocksCase {
    const char* text;
    bool held;
};
class ProcLocksTest : public testing::TestWithParam<LocksCase> {};
TEST_P(ProcLocksTest, FindsAnotherProcessLock)
{
    // The device: number fe:00 (254, 0), inode 10953265; this process is 500.
    EXPECT_EQ(LockedInProcLocks(GetParam().text, 254, 0, 10953265, 500), GetParam().held);
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, ProcLocksTest, testing::Values(
    LocksCase{"1: FLOCK  ADVISORY  WRITE 7466 fe:00:10953265 0 EOF\n", true},
    LocksCase{"1: FLOCK  ADVISORY  WRITE 500 fe:00:10953265 0 EOF\n", false},          // our own
    LocksCase{"1: FLOCK  ADVISORY  WRITE 7466 fe:00:10953266 0 EOF\n", false},         // other file
    LocksCase{"1: FLOCK  ADVISORY  WRITE 7466 fe:01:10953265 0 EOF\n", false},         // other device
    LocksCase{"1: POSIX  ADVISORY  WRITE 7466 00:05:3 0 EOF\n"
              "2: FLOCK  ADVISORY  WRITE 7467 fe:00:10953265 0 EOF\n", true},
    LocksCase{"1: FLOCK  ADVISORY  WRITE 500 fe:00:10953265 0 EOF\n"
              "1: -> FLOCK  ADVISORY  WRITE 7466 fe:00:10953265 0 EOF\n", false},      // only waiting
    LocksCase{"", false},
    LocksCase{"garbage\n1: FLOCK\n", false}));
// clang-format on

TEST(LockFile, NamesALiveOtherProcess)
{
    pid_t self = getpid();
    EXPECT_TRUE(LockFileHeld("      " + std::to_string(getppid()) + "\n", self));
    EXPECT_FALSE(LockFileHeld("      " + std::to_string(self) + "\n", self));
    EXPECT_FALSE(LockFileHeld("2147483000\n", self));   // no such process: a stale file
    EXPECT_TRUE(LockFileHeld("", self));
    EXPECT_TRUE(LockFileHeld("not a pid\n", self));
    int32_t binary = getppid();
    EXPECT_TRUE(LockFileHeld(std::string(reinterpret_cast<const char*>(&binary), sizeof binary), self));
}

// What the port-error box adds: the port, the system's reason and, by the failure's class, what to do.
TEST(PortErrorDetails, SayThePortTheReasonAndWhatToDo)
{
    struct Case {
        const char* name;
        std::string port;
        TProblemKind kind;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"NotFound", "/dev/ttyUSB3", TProblemKind::Missing,
         "Порт /dev/ttyUSB3: why.\nТакого порта нет: проверьте, подключён ли адаптер, и выберите порт в списке."},
        {"Busy", "/dev/ttyUSB3", TProblemKind::Busy,
         "Порт /dev/ttyUSB3: why.\nПорт занят другой программой: закройте её и повторите."},
        {"NoPermission", "/dev/ttyS0", TProblemKind::NoPermission,
         std::string("Порт /dev/ttyS0: why.\nНет доступа к порту: ") + NoPermissionAdvice},
        {"Other", "/dev/ttyS0", TProblemKind::Other, "Порт /dev/ttyS0: why."},
        {"NoPortChosen", "", TProblemKind::Other, "Порт не выбран: выберите порт в списке."},
    };
    for (const Case& c : cases) EXPECT_EQ(PortErrorDetails(c.port, TProblem(c.kind, "why")), c.expected) << c.name;
    EXPECT_EQ(PortErrorDetails("/dev/ttyS0", std::nullopt), "");
    TComPort fine(false, true);
    EXPECT_EQ(PortErrorDetails(fine), "");
}

// A stop request cuts a protocol pause short: a minute-long pause ends soon after the request.
TEST(Pause, EndsWhenAStopIsRequested)
{
    TComPort port(false, false);
    std::atomic<bool> stop{false};
    port.SetStopRequest(&stop);
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop = true;
    });
    auto start = std::chrono::steady_clock::now();
    port.Pause(60000);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}
