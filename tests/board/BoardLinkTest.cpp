#include "tests/board/BoardFixture.h"

#include "firmware/Firmware.h"

#include <numeric>

namespace {
const std::vector<uint8_t> kCatch = {0x12, 0x5C, 0xC8, 0xD0};

SimOptions Version(char major, char minor)
{
    SimOptions o;
    o.VersionMajor = major;
    o.VersionMinor = minor;
    return o;
}

std::vector<uint8_t> Block(uint8_t fill = 0x11) { return std::vector<uint8_t>(32, fill); }

int32_t AddressOf(const WireRecord& r) { return (r.Payload[1] << 8) | r.Payload[2]; }
}   // namespace

struct VersionCase {
    const char* name;
    SimOptions options;
    bool versionReply;
    bool malformed;
    const char* label;
    std::vector<uint8_t> gate;   // requests after the first 0xD0
};

class VersionGateTest : public BoardFixture, public testing::WithParamInterface<VersionCase> {};

TEST_P(VersionGateTest, LabelAndGate)
{
    const VersionCase& c = GetParam();
    Restart(c.options);
    sim->SetVersionReply(c.versionReply);
    if (!c.versionReply) FastTimeoutsFor(0xD0, 1, 1);
    if (c.malformed) sim->AddFault({0xD0, 1, -1, FaultKind::Malformed});
    bool versionRead = false;
    ASSERT_EQ(link->OpenConnection(ui, versionRead), TConnect::Connected);
    EXPECT_EQ(ui.Versions, std::vector<std::string>{c.label});
    TLinkResult gate = versionRead ? link->LoaderVersionGate(EmbeddedFirmware()) : TLinkResult::Ok;
    EXPECT_EQ(gate, TLinkResult::Ok);
    std::vector<uint8_t> expected = kCatch;
    expected.insert(expected.end(), c.gate.begin(), c.gate.end());
    EXPECT_EQ(Requests(), expected);
    EXPECT_TRUE(ui.Messages.empty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Versions, VersionGateTest, testing::Values(
    VersionCase{"v40", Version('4', '0'), true, false, "Загрузчик v4.0", {0xD0, 0xD5, 0xD6}},
    VersionCase{"v31", Version('3', '1'), true, false, "Загрузчик v3.1", {0xD0}},
    VersionCase{"v39", Version('3', '9'), true, false, "Загрузчик v3.9", {0xD0}},
    VersionCase{"silent", {}, false, false, "Загрузчик v1.0", {}},
    VersionCase{"malformed", {}, true, true, "Загрузчик v1.0", {}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(BoardFixture, SilentResetAsksOnceThenBreaksInAnyway)
{
    sim->AddFault({0x12, 1, -1, FaultKind::Silent});
    FastTimeoutsFor(0x12, 1, 1);
    Connect();
    EXPECT_EQ(ui.Messages, (std::vector<ShownBox>{
                               {"Попытка соединения!", "Включите табло и нажмите \"OK\"!", TBoxKind::Information}}));
    EXPECT_EQ(Requests(), kCatch);
}

TEST_F(BoardFixture, BreakInBurstsForTwoSecondsThenWaitsTwo)
{
    link->OpenBoardPort(false, ui);
    uint32_t start = Clock::TickCount();
    ASSERT_TRUE(link->ConnectBoard());
    EXPECT_GE(Clock::TickCount() - start, 4000u);
    auto log = sim->WireLog();
    auto burst = std::find_if(log.begin(), log.end(), [](const WireRecord& r) { return r.FromProgram && r.Raw; });
    ASSERT_NE(burst, log.end());
    EXPECT_GE(burst->RawCount, 1024u);
    link->CloseBoardPort();
}

TEST_F(BoardFixture, NoPingAfterBreakInStopsWithThePortClosed)
{
    sim->AddFault({0xC8, 1, -1, FaultKind::Silent});
    FastTimeoutsFor(0xC8, 1, -1);
    bool versionRead = true;
    EXPECT_EQ(link->OpenConnection(ui, versionRead), TConnect::NoBoard);
    EXPECT_FALSE(versionRead);
    EXPECT_EQ(ui.Messages.back(),
              (ShownBox{"Попытка соединения!", "Не удалось соединиться с табло!", TBoxKind::Error}));
    EXPECT_FALSE(link->IsOpen());
    EXPECT_EQ(Requests(), (std::vector<uint8_t>{0x12, 0x5C, 0xC8}));
}

TEST_F(BoardFixture, MissingPortShowsThePortError)
{
    link->SetPortName("/dev/nonexistent-flasher-port");
    bool versionRead = false;
    EXPECT_EQ(link->OpenConnection(ui, versionRead), TConnect::PortFailed);
    EXPECT_EQ(
        ui.Messages,
        (std::vector<ShownBox>{
            {"Ошибка",
             "Ошибка коммуникационного порта!\nПорт /dev/nonexistent-flasher-port: No such file or directory.\nТакого порта нет: проверьте, подключён ли адаптер, и выберите порт в списке.",
             TBoxKind::Error}}));
    EXPECT_FALSE(link->IsOpen());
}

TEST_F(BoardFixture, ImageGoesOutBlockByBlockWithProgress)
{
    Connect();
    std::vector<int32_t> progress;
    ASSERT_EQ(
        link->ProgramImage(FirmwareImage, 9728, false, [&](const TProgress& p) { progress.push_back(p.Percent); }),
        TLinkResult::Ok);
    auto blocks = RequestsWith(0xC9);
    ASSERT_EQ(blocks.size(), 304u);
    for (size_t k = 0; k < blocks.size(); ++k) {
        EXPECT_EQ(AddressOf(blocks[k]), static_cast<int32_t>(32 * k));
        ASSERT_EQ(blocks[k].Payload.size(), 35u);
    }
    ASSERT_EQ(progress.size(), 304u);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress[37], 12);   // block 38: 12.5 goes to the even neighbour
    EXPECT_EQ(progress.back(), 100);
    auto memory = sim->ProgramMemory();
    EXPECT_TRUE(std::equal(FirmwareImage.begin(), FirmwareImage.end(), memory.begin()));
}

TEST_F(BoardFixture, DataBlocksCoverTheLengthAndNeverReadPastTheSource)
{
    Connect();
    std::vector<uint8_t> data(100);
    std::iota(data.begin(), data.end(), 1);
    ASSERT_EQ(link->ProgramData(data, 100, 0xA600, nullptr, false), TLinkResult::Ok);
    auto blocks = RequestsWith(0xCE);
    ASSERT_EQ(blocks.size(), 4u);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(AddressOf(blocks[k]), 0xA600 + 32 * k);
    EXPECT_EQ(blocks[3].Payload[3 + 3], 100);    // last data byte
    EXPECT_EQ(blocks[3].Payload[3 + 4], 0xFF);   // past the source
    EXPECT_EQ(link->ProgramData(data, 0, 0xA600, nullptr, false), TLinkResult::Ok);
    EXPECT_EQ(link->ProgramData(data, -5, 0xA600, nullptr, false), TLinkResult::Ok);
    EXPECT_EQ(RequestsWith(0xCE).size(), 4u);
}

TEST_F(BoardFixture, BadOnAVerifyBlockEndsTheTransferAtOnce)
{
    Connect();
    sim->AddFault({0xCA, 10, 1, FaultKind::Bad});
    ASSERT_EQ(link->ProgramImage(FirmwareImage, 9728, false, nullptr), TLinkResult::Ok);
    EXPECT_EQ(link->ProgramImage(FirmwareImage, 9728, true, nullptr), TLinkResult::Bad);
    auto verify = RequestsWith(0xCA);
    ASSERT_EQ(verify.size(), 10u);
    EXPECT_EQ(AddressOf(verify.back()), 9 * 32);
}

TEST_F(BoardFixture, PreparationAnsweredBadTwiceSendsTwoDifferentTails)
{
    Connect();
    sim->AddFault({0xD2, 1, 2, FaultKind::Bad});
    EXPECT_EQ(link->PrepareProgramming(), TLinkResult::Bad);
    auto prepares = RequestsWith(0xD2);
    ASSERT_EQ(prepares.size(), 2u);
    for (const auto& p : prepares) {
        EXPECT_EQ(p.Payload.size(), 35u);
        EXPECT_EQ(p.Payload[1], 0x5E);
        EXPECT_EQ(p.Payload[2], 0x3C);
    }
    EXPECT_NE(prepares[0].Payload, prepares[1].Payload);
}

TEST_F(BoardFixture, SilentBoardGetsFiveAttemptsWithWaitsAndPauses)
{
    Connect();
    Clock::SetScale(100, 100);   // this test is about the timeout
    sim->AddFault({0xC9, 1, -1, FaultKind::Silent});
    std::vector<int32_t> progress;
    uint32_t start = Clock::TickCount();
    EXPECT_EQ(
        link->ProgramImage(FirmwareImage, 9728, false, [&](const TProgress& p) { progress.push_back(p.Percent); }),
        TLinkResult::Lost);
    EXPECT_GE(Clock::TickCount() - start, 5u * (3000 + 2000));
    auto attempts = RequestsWith(0xC9);
    ASSERT_EQ(attempts.size(), 5u);
    for (size_t i = 1; i < attempts.size(); ++i) EXPECT_EQ(attempts[i].Payload, attempts[0].Payload);
    EXPECT_TRUE(progress.empty());
}

TEST_F(BoardFixture, UnexpectedRepliesAreRetriedWithoutPause)
{
    Connect();
    Clock::SetScale(10);   // a pause of 2000 ms would show as 200 ms of real time
    sim->AddFault({0xC9, 1, -1, FaultKind::WrongCase});
    uint32_t start = Clock::TickCount();
    EXPECT_EQ(link->ProgramImage(FirmwareImage, 9728, false, nullptr), TLinkResult::Lost);
    EXPECT_LT(Clock::TickCount() - start, 2000u);
    EXPECT_EQ(RequestsWith(0xC9).size(), 5u);
}

TEST_F(BoardFixture, CorruptedReplyIsRepeatedThenSucceeds)
{
    Connect();
    FastTimeoutsFor(0xC9, 3, 1, 100, 10);   // the corrupted reply is dropped: its wait times out
    sim->AddFault({0xC9, 3, 1, FaultKind::CorruptSum});
    EXPECT_EQ(link->ProgramImage(FirmwareImage, 9728, false, nullptr), TLinkResult::Ok);
    auto blocks = RequestsWith(0xC9);
    ASSERT_EQ(blocks.size(), 305u);
    EXPECT_EQ(blocks[2].Payload, blocks[3].Payload);   // block 3 sent twice
}

TEST_F(BoardFixture, LateReplyIsTakenByTheNextWait)
{
    Connect();
    // Block 2's reply comes 4000 ms after it, in the middle of the 2000 ms pause that follows its
    // 3000 ms wait: the repeat of block 2 takes it at once, and from then on every wait takes the
    // reply to the request before it. At 10 times the pause leaves 100 ms of slack either side.
    FastTimeoutsFor(0xC9, 2, 1, 10, 10);
    sim->AddFault({0xC9, 2, 1, FaultKind::Late, 4000});
    EXPECT_EQ(link->ProgramImage(FirmwareImage, 9728, false, nullptr), TLinkResult::Ok);
    auto blocks = RequestsWith(0xC9);
    ASSERT_GE(blocks.size(), 305u);
    EXPECT_EQ(blocks[1].Payload, blocks[2].Payload);
    EXPECT_NE(blocks[2].Payload, blocks[3].Payload);   // the repeat was acknowledged at once
}

TEST_F(BoardFixture, RamBlocksMaskTheAddressAndCheckTheReplyKind)
{
    Connect();
    auto data = Block(0x5A);
    ASSERT_TRUE(link->WriteRamBlock(data.data(), 0x1234));
    std::vector<uint8_t> back(32);
    ASSERT_TRUE(link->ReadRamBlock(back.data(), 0x1234));
    EXPECT_EQ(back, data);
    auto writes = RequestsWith(0xD3);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(AddressOf(writes[0]), 0x1220);
    auto reads = RequestsWith(0xD4);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].Payload.size(), 8u);
    EXPECT_EQ(AddressOf(reads[0]), 0x1220);
    sim->AddFault({0xD4, 1, 1, FaultKind::Malformed});
    std::vector<uint8_t> untouched(32, 0xEE);
    EXPECT_FALSE(link->ReadRamBlock(untouched.data(), 0));
    EXPECT_EQ(untouched, std::vector<uint8_t>(32, 0xEE));
}

TEST_F(BoardFixture, FontTableGoesToFF00)
{
    Connect();
    auto table = Block(0xFF);
    table[0] = 3;
    ASSERT_EQ(link->WriteFontTable(table.data(), false, 0), TLinkResult::Ok);
    ASSERT_EQ(link->WriteFontTable(table.data(), true, 0), TLinkResult::Ok);
    EXPECT_EQ(AddressOf(RequestsWith(0xCE).at(0)), 0xFF00);
    EXPECT_EQ(AddressOf(RequestsWith(0xCF).at(0)), 0xFF00);
    EXPECT_EQ(sim->DataMemory()[0xFF00], 3);
}

TEST_F(BoardFixture, ResetsCarryFreshRandomBytes)
{
    link->OpenBoardPort(false, ui);
    ASSERT_TRUE(link->ResetBoard());
    sim->SetBoardOn(true);
    ASSERT_TRUE(link->ResetBoard());
    auto resets = RequestsWith(0x12);
    ASSERT_EQ(resets.size(), 2u);
    EXPECT_EQ(resets[0].Payload.size(), 6u);
    EXPECT_NE(resets[0].Payload, resets[1].Payload);
    link->CloseBoardPort();
}
