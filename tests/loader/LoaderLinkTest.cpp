// The loader link against the simulated loader: chunking and flags of the flash transfers as the
// wire shows them, refused arguments, handshake replies, the clock and the connection.
#include "tests/common/SystemTimes.h"
#include "tests/loader/LoaderFixture.h"
#include "tests/loader/ReplyPeer.h"

#include <numeric>
#include <tuple>

namespace {
enum class Op { Write, ReadPaged, Read };

struct ChunkOnWire {
    uint32_t Address;
    int32_t Count;
    uint8_t Flags;
    bool operator==(const ChunkOnWire&) const = default;
};
std::ostream& operator<<(std::ostream& os, const ChunkOnWire& c)
{
    return os << "{" << c.Address << ", " << c.Count << ", 0x" << std::hex << int{c.Flags} << std::dec << "}";
}

uint8_t Code(Op op) { return op == Op::Write ? 0xA6 : op == Op::ReadPaged ? 0xA5 : 0xA7; }

// A flash request as the wire carries it: writes have no count byte, their data follows the flags.
ChunkOnWire OnWire(const WireRecord& r)
{
    uint32_t address = uint32_t{r.Payload[1]} << 16 | uint32_t{r.Payload[2]} << 8 | r.Payload[3];
    int32_t count = r.Command() == 0xA6 ? static_cast<int32_t>(r.Payload.size()) - 5 : r.Payload[5];
    return {address, count, r.Payload[4]};
}

std::vector<ChunkOnWire> LinearRead2112()
{
    std::vector<ChunkOnWire> chunks;
    for (uint32_t k = 0; k < 66; ++k) chunks.push_back({32 * k, 32, 0});
    chunks.front().Flags = 0x02;
    chunks.back().Flags = 0x04;
    return chunks;
}

// 600 bytes from 0: page 0 in sixteen chunks of 32 and one of 16, then 72 bytes of page 1.
std::vector<ChunkOnWire> PagedWrite600()
{
    std::vector<ChunkOnWire> chunks;
    for (uint32_t k = 0; k < 16; ++k) chunks.push_back({32 * k, 32, 0});
    chunks[0].Flags = 0x02;
    chunks.push_back({512, 16, 0x04});
    chunks.push_back({528, 32, 0x02});
    chunks.push_back({560, 32, 0x00});
    chunks.push_back({592, 8, 0x04});
    return chunks;
}

std::vector<uint8_t> Pattern(size_t count, uint8_t seed)
{
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13);
    return bytes;
}
}   // namespace

struct ChunkCase {
    const char* name;
    Op op;
    uint32_t address;
    int32_t count;
    std::vector<ChunkOnWire> chunks;
};

class FlashChunkingTest : public LoaderFixture, public testing::WithParamInterface<ChunkCase> {};

TEST_P(FlashChunkingTest, ChunksFlagsAndData)
{
    const ChunkCase& c = GetParam();
    std::vector<uint8_t> data = Pattern(static_cast<size_t>(c.count), 0x31);
    if (c.op != Op::Write) sim->WriteFlashBytes(c.address, data);
    sim->ClearWireLog();

    std::vector<uint8_t> buffer(static_cast<size_t>(c.count), 0);
    bool ok = c.op == Op::Write       ? link->WriteFlash(c.address, c.count, data.data())
              : c.op == Op::ReadPaged ? link->ReadFlashPaged(c.address, c.count, buffer.data())
                                      : link->ReadFlash(c.address, c.count, buffer.data());
    ASSERT_TRUE(ok);

    std::vector<ChunkOnWire> sent;
    for (const WireRecord& r : Requests()) {
        ASSERT_EQ(r.Command(), Code(c.op));
        sent.push_back(OnWire(r));
    }
    EXPECT_EQ(sent, c.chunks);
    if (c.op == Op::Write) EXPECT_EQ(Flash(c.address, static_cast<uint32_t>(c.count)), data);
    else EXPECT_EQ(buffer, data);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, FlashChunkingTest, testing::Values(
    ChunkCase{"Write40At530", Op::Write, 530, 40, {{530, 32, 0x02}, {562, 8, 0x04}}},
    ChunkCase{"Write60At500", Op::Write, 500, 60, {{500, 28, 0x06}, {528, 32, 0x06}}},
    ChunkCase{"Write4AtPageStart", Op::Write, 1056, 4, {{1056, 4, 0x06}}},
    ChunkCase{"Write600At0", Op::Write, 0, 600, PagedWrite600()},
    ChunkCase{"ReadPaged40At530", Op::ReadPaged, 530, 40, {{530, 32, 0x02}, {562, 8, 0x00}}},
    ChunkCase{"ReadPaged60At500", Op::ReadPaged, 500, 60, {{500, 28, 0x02}, {528, 32, 0x02}}},
    ChunkCase{"ReadPaged4AtPageStart", Op::ReadPaged, 1056, 4, {{1056, 4, 0x02}}},
    ChunkCase{"Read40At530", Op::Read, 530, 40, {{530, 32, 0x02}, {562, 8, 0x04}}},
    ChunkCase{"Read60At500", Op::Read, 500, 60, {{500, 32, 0x02}, {532, 28, 0x04}}},
    ChunkCase{"Read4AtPageStart", Op::Read, 1056, 4, {{1056, 4, 0x06}}},
    ChunkCase{"Read2112Linear", Op::Read, 0, 2112, LinearRead2112()}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct ProgressCase {
    const char* name;
    Op op;
    uint32_t address;
    int32_t count;
    std::vector<int32_t> progress;
};
class FlashProgressTest : public LoaderFixture, public testing::WithParamInterface<ProgressCase> {};
TEST_P(FlashProgressTest, ReportsEachNewWholePercentage)
{
    const ProgressCase& c = GetParam();
    std::vector<uint8_t> buffer(static_cast<size_t>(c.count), 0x5A);
    std::vector<int32_t> seen;
    FlashProgress progress = [&](const TProgress& p) { seen.push_back(p.Percent); };
    bool ok = c.op == Op::Write       ? link->WriteFlash(c.address, c.count, buffer.data(), progress)
              : c.op == Op::ReadPaged ? link->ReadFlashPaged(c.address, c.count, buffer.data(), progress)
                                      : link->ReadFlash(c.address, c.count, buffer.data(), progress);
    ASSERT_TRUE(ok);
    EXPECT_EQ(seen, c.progress);
}

std::vector<int32_t> ZeroToHundred()
{
    std::vector<int32_t> all(101);
    std::iota(all.begin(), all.end(), 0);
    return all;
}

// 40 bytes: 32 of 40 is 80 %. 60 bytes at 500: 28 of 60 is 46.7 %. 6400 bytes: 200 chunks of
// half a percent each, every whole percentage once although most are reached twice.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, FlashProgressTest, testing::Values(
    ProgressCase{"Write40At530", Op::Write, 530, 40, {0, 80, 100}},
    ProgressCase{"ReadPaged60At500", Op::ReadPaged, 500, 60, {0, 47, 100}},
    ProgressCase{"Read6400", Op::Read, 0, 6400, ZeroToHundred()},
    ProgressCase{"NothingToRead", Op::Read, 0, 0, {0}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct RefusedCase {
    const char* name;
    bool (*request)(TLoaderLink&);
};
class RefusedRequestTest : public LoaderFixture, public testing::WithParamInterface<RefusedCase> {};
TEST_P(RefusedRequestTest, FailsAndSendsNothing)
{
    sim->ClearWireLog();
    EXPECT_FALSE(GetParam().request(*link));
    EXPECT_TRUE(Requests().empty());
}

namespace {
uint8_t scratch[64];
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, RefusedRequestTest, testing::Values(
    RefusedCase{"ReadClockCount0", [](TLoaderLink& l) { return l.ReadClockRegisters(0, 0, scratch); }},
    RefusedCase{"ReadClockCount17", [](TLoaderLink& l) { return l.ReadClockRegisters(0, 17, scratch); }},
    RefusedCase{"WriteClockCount0", [](TLoaderLink& l) { return l.WriteClockRegisters(0, 0, scratch); }},
    RefusedCase{"WriteClockCount17", [](TLoaderLink& l) { return l.WriteClockRegisters(0, 17, scratch); }},
    RefusedCase{"ReadPagedCount33", [](TLoaderLink& l) { return l.ReadFlashPagedChunk(0, 33, 0x02, scratch); }},
    RefusedCase{"ReadCountNegative", [](TLoaderLink& l) { return l.ReadFlashChunk(0, -1, 0x02, scratch); }},
    RefusedCase{"WriteCount33", [](TLoaderLink& l) { return l.WriteFlashChunk(0, 33, 0x06, scratch); }},
    RefusedCase{"AddressPast24Bits", [](TLoaderLink& l) { return l.ReadFlashChunk(0x1000000, 4, 0x06, scratch); }},
    RefusedCase{"PortClosed", [](TLoaderLink& l) { l.CloseLoaderPort(); return l.PingLoader(); }}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(LoaderFixture, FailedChunkStopsTheTransfer)
{
    sim->AddFault({0xA6, 1, -1, FaultKind::WrongCase});
    sim->ClearWireLog();
    std::vector<uint8_t> data(100, 0x11);
    EXPECT_FALSE(link->WriteFlash(0, 100, data.data()));
    EXPECT_EQ(Requests(0xA6).size(), 1u);
}

TEST_F(LoaderFixture, OpenFailureIsShownAndTheLinkStaysShut)
{
    link->SetPortName("/dev/nonexistent-loader-port");
    view.Forget();
    link->OpenLoaderPort(view);
    EXPECT_TRUE(link->LastFailure().has_value());
    EXPECT_EQ(
        view.Messages,
        (std::vector<ShownBox>{
            {"Ошибка",
             "Ошибка коммуникационного порта!\nПорт /dev/nonexistent-loader-port: No such file or directory.\nТакого порта нет: проверьте, подключён ли адаптер, и выберите порт в списке.",
             TBoxKind::Error}}));
    EXPECT_EQ(link->BaudRate(), 38400);
    EXPECT_FALSE(link->ConnectLoader(6));
}

TEST_F(LoaderFixture, ConnectAsksForTheRateThenHandshakes)
{
    sim->ClearWireLog();
    ASSERT_TRUE(link->ConnectLoader(6));
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Payload, (std::vector<uint8_t>{0xA9, 0x02}));
    EXPECT_EQ(requests[1].Command(), 0xA0);
    EXPECT_EQ(requests[1].Payload.size(), 9u);
    EXPECT_EQ(link->BaudRate(), 38400);
}

TEST_F(LoaderFixture, SilentLoaderGetsTheRateRequestAndSixHandshakes)
{
    ShortReplyTimeouts();
    sim->SetLoaderOn(false);
    sim->ClearWireLog();
    uint32_t start = Clock::TickCount();
    EXPECT_FALSE(link->ConnectLoader(6));
    // The rate request and every handshake waited the whole reply timeout.
    EXPECT_GE(Clock::TickCount() - start, 7u * ReplyTimeout);
    auto requests = RequestsOnceLogged(7);
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_EQ(requests[0].Command(), 0xA9);
    for (size_t i = 1; i < requests.size(); ++i) EXPECT_EQ(requests[i].Command(), 0xA0) << i;
}

TEST_F(LoaderFixture, HandshakeRetriesUntilTheLoaderAnswers)
{
    sim->AddFault({0xA0, 1, 2, FaultKind::WrongCase});
    sim->ClearWireLog();
    EXPECT_TRUE(link->ConnectLoader(6));
    EXPECT_EQ(Requests(0xA0).size(), 3u);
}

// Replies the simulated loader never gives come from a peer that answers every request alike.
struct ReplyCase {
    const char* name;
    std::vector<uint8_t> reply;
    bool accepted;
};
class HandshakeReplyTest : public testing::TestWithParam<ReplyCase> {};
TEST_P(HandshakeReplyTest, JudgesTheWordUpToItsZeroByte)
{
    TReplyPeer peer(GetParam().reply);
    TRecordingView view;
    TLoaderLink link(peer.Path());
    link.OpenLoaderPort(view);
    ASSERT_FALSE(link.LastFailure().has_value());
    EXPECT_EQ(link.PingLoader(), GetParam().accepted);
    EXPECT_EQ(peer.Requests(), 1);
    link.CloseLoaderPort();
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, HandshakeReplyTest, testing::Values(
    ReplyCase{"Word", {'C', 'O', 'N', 'O', 'K'}, true},
    ReplyCase{"WordZeroAndMore", {'C', 'O', 'N', 'O', 'K', 0, 'x', 0xFF}, true},
    ReplyCase{"LowerCase", {'c', 'o', 'n', 'o', 'k'}, false},
    ReplyCase{"CharacterTooMany", {'C', 'O', 'N', 'O', 'K', '!'}, false},
    ReplyCase{"WordCut", {'C', 'O', 'N', 'O'}, false},
    ReplyCase{"OtherWord", {'F', 'L', 'H', 'O', 'K'}, false}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(DataReply, ShorterThanTheCountFails)
{
    TReplyPeer peer(std::vector<uint8_t>(7, 0x42));
    TRecordingView view;
    TLoaderLink link(peer.Path());
    link.OpenLoaderPort(view);
    uint8_t buffer[8] = {};
    EXPECT_FALSE(link.ReadFlashChunk(0, 8, 0x06, buffer));
    EXPECT_TRUE(link.ReadFlashChunk(0, 7, 0x06, buffer));
    EXPECT_EQ(buffer[6], 0x42);
    EXPECT_EQ(buffer[7], 0x00);
    link.CloseLoaderPort();
}

TEST_F(LoaderFixture, WrongCaseHandshakeIsNoHandshake)
{
    sim->AddFault({0xA0, 1, -1, FaultKind::WrongCase});
    EXPECT_FALSE(link->PingLoader());
}

struct ClockReadCase {
    const char* name;
    bool twelveHour;
    int hour;
    int expectedHour;
};
class LoaderClockReadTest : public LoaderFixture, public testing::WithParamInterface<ClockReadCase> {};
TEST_P(LoaderClockReadTest, ReadsDateAndHour)
{
    sim->SetTwelveHourClock(GetParam().twelveHour);
    sim->SetClock(2023, 12, 31, GetParam().hour, 30, 0);
    TSystemTime time;
    ASSERT_TRUE(link->ReadLoaderClock(time));
    EXPECT_EQ(time.Year, 2023);
    EXPECT_EQ(time.Month, 12);
    EXPECT_EQ(time.Day, 31);
    EXPECT_EQ(time.DayOfWeek, 0);   // Sunday
    EXPECT_EQ(time.Hour, GetParam().expectedHour);
    EXPECT_EQ(time.Milliseconds, 0);
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, LoaderClockReadTest, testing::Values(
    ClockReadCase{"Noon24", false, 12, 12},
    ClockReadCase{"Midnight12", true, 0, 0},
    ClockReadCase{"Noon12", true, 12, 12},
    ClockReadCase{"OnePm12", true, 13, 13},
    ClockReadCase{"ElevenPm12", true, 23, 23}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(LoaderFixture, ClockWriteSendsTheRegistersInBcd)
{
    TSystemTime time = MakeTime(2023, 12, 31, 21, 45, 9, 3);   // day of week wrong on purpose: taken from the date
    sim->ClearWireLog();
    ASSERT_TRUE(link->WriteLoaderClock(time));
    auto requests = Requests(0xA3);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Payload, (std::vector<uint8_t>{0xA3, 0, 0x09, 0x45, 0x21, 7, 0x31, 0x12, 0x23, 0}));
    TSystemTime back;
    ASSERT_TRUE(link->ReadLoaderClock(back));
    EXPECT_EQ(std::tie(back.Year, back.Month, back.Day, back.DayOfWeek, back.Hour),
              std::make_tuple(uint16_t{2023}, uint16_t{12}, uint16_t{31}, uint16_t{0}, uint16_t{21}));
}

TEST_F(LoaderFixture, ClockReadFailureLeavesTheTimeAlone)
{
    sim->AddFault({0xA2, 1, 1, FaultKind::Malformed});
    TSystemTime time;
    time.Year = 1999;
    EXPECT_FALSE(link->ReadLoaderClock(time));
    EXPECT_EQ(time.Year, 1999);
}

TEST_F(LoaderFixture, SyncWritesTheComputersLocalTime)
{
    link->SetLocalTimeSource([] { return MakeTime(2004, 8, 13, 22, 22, 5); });
    sim->ClearWireLog();
    ASSERT_TRUE(link->SyncLoaderClock());
    auto requests = Requests(0xA3);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Payload, (std::vector<uint8_t>{0xA3, 0, 0x05, 0x22, 0x22, 5, 0x13, 0x08, 0x04, 0}));
}
