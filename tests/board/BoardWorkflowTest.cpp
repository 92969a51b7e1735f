#include "tests/board/BoardFixture.h"

#include "board/BoardWorkflows.h"
#include "firmware/Firmware.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {
// A font file of `fonts` fonts whose tables point just past themselves, and `extra` data bytes.
std::string WriteFontFile(int fonts, int extra)
{
    std::string path = std::filesystem::temp_directory_path() / ("board-fonts-" + std::to_string(getpid()) + ".gly");
    std::vector<uint8_t> bytes(32, 0);
    bytes[0] = 0x07;
    bytes[1] = 0xFF;
    bytes[2] = static_cast<uint8_t>(fonts);
    bytes[3] = 32;
    for (int k = 0; k < fonts * 256; ++k) {
        int offset = 512 * fonts + (k % 7);
        bytes.push_back(static_cast<uint8_t>(offset & 0xFF));
        bytes.push_back(static_cast<uint8_t>(offset >> 8));
    }
    for (int i = 0; i < extra; ++i) bytes.push_back(static_cast<uint8_t>(i * 7 + 1));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
}

const ShownBox kDone{"Информация!", "Программирование завершено!", TBoxKind::Information};
const ShownBox kLost{"Сверка!",
                     "Соединение потеряно!\nЕсли запись программы уже началась, табло осталось без рабочей программы: "
                     "повторите запись программы.",
                     TBoxKind::Error};
const ShownBox kErrors{"Сверка!", "Программирование было выполнено с ошибками!", TBoxKind::Error};
}   // namespace

class WorkflowFixture : public BoardFixture {
protected:
    std::unique_ptr<TFontSet> fonts = std::make_unique<TFontSet>();
};

TEST_F(WorkflowFixture, FullProgramWithFontsInWireOrder)
{
    std::string file = WriteFontFile(2, 40);   // 1064 bytes of font data
    EXPECT_EQ(ProgramBoard(*link, EmbeddedFirmware(), ui, *fonts, true, "  " + file + "\t"), TOutcome::Done);
    ASSERT_EQ(fonts->FontSize, 1064);
    size_t fontBlocks = (1064 + 31) / 32;
    std::vector<uint8_t> expected = {0x12, 0x5C, 0xC8, 0xD0, 0xD0, 0xD5, 0xD6, 0xD2};
    expected = Repeat(Repeat(expected, 0xC9, 304), 0xCA, 304);
    expected = Repeat(Repeat(expected, 0xCE, fontBlocks), 0xCF, fontBlocks);
    expected.push_back(0xCE);
    expected.push_back(0xCF);
    EXPECT_EQ(Requests(), expected);
    auto ce = RequestsWith(0xCE);
    EXPECT_EQ((ce.front().Payload[1] << 8) | ce.front().Payload[2], 0xA600);
    EXPECT_EQ((ce.back().Payload[1] << 8) | ce.back().Payload[2], 0xFF00);
    EXPECT_EQ(std::vector<uint8_t>(ce.back().Payload.begin() + 3, ce.back().Payload.begin() + 6),
              (std::vector<uint8_t>{2, 0xA6, 0xA8}));
    auto data = sim->DataMemory();
    EXPECT_TRUE(std::equal(fonts->FontBuffer.begin(), fonts->FontBuffer.begin() + 1064, data.begin() + 0xA600));
    EXPECT_EQ(data[0xA600], 0xAA);   // relocated, high byte first: 0x0400 + 0xA600
    EXPECT_EQ(ui.Statuses,
              (std::vector<std::string>{"Программирование", "Сверка", "Запись шрифтов", "Сверка шрифтов", "OK"}));
    EXPECT_EQ(ui.Messages, std::vector<ShownBox>{kDone});
    EXPECT_EQ(ui.Progress.back(), 100);
    EXPECT_FALSE(link->IsOpen());
    std::filesystem::remove(file);
}

TEST_F(WorkflowFixture, WithoutFontsNoFileIsReadAndOnlyTheImageGoesOut)
{
    EXPECT_EQ(ProgramBoard(*link, EmbeddedFirmware(), ui, *fonts, false, "/no/such/file.gly"), TOutcome::Done);
    auto requests = Requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), 0xCE), 0);
    EXPECT_EQ(requests.back(), 0xCA);
    EXPECT_EQ(ui.Messages, std::vector<ShownBox>{kDone});
}

TEST_F(WorkflowFixture, MissingFontFileStopsBeforeThePortIsTouched)
{
    EXPECT_EQ(ProgramBoard(*link, EmbeddedFirmware(), ui, *fonts, true, "/no/such/file.gly"), TOutcome::FileRefused);
    EXPECT_EQ(ui.Messages, (std::vector<ShownBox>{{"Чтение шрифтов!",
                                                   "Не удалось загрузить шрифты!\n/no/such/file.gly: файл не найден",
                                                   TBoxKind::Error}}));
    EXPECT_TRUE(sim->WireLog().empty());
    EXPECT_TRUE(ui.Statuses.empty());
}

struct FailureCase {
    const char* name;
    FaultRule fault;
    TOutcome outcome;
    const char* status;
    ShownBox message;
    uint8_t lastRequest;
};
class ProgramFailureTest : public WorkflowFixture, public testing::WithParamInterface<FailureCase> {};

TEST_P(ProgramFailureTest, ReportsAndClosesThePort)
{
    const FailureCase& c = GetParam();
    if (c.fault.Kind == FaultKind::Silent) FastTimeoutsFor(c.fault.Command, c.fault.From, -1);
    sim->AddFault(c.fault);
    EXPECT_EQ(ProgramBoard(*link, EmbeddedFirmware(), ui, *fonts, false, ""), c.outcome);
    EXPECT_EQ(ui.Statuses.back(), c.status);
    EXPECT_EQ(ui.Messages.back(), c.message);
    EXPECT_EQ(Requests().back(), c.lastRequest);
    EXPECT_FALSE(link->IsOpen());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Failures, ProgramFailureTest, testing::Values(
    FailureCase{"FirstVerifyBad", {0xCA, 1, 1, FaultKind::Bad}, TOutcome::BoardBad, "Ошибка", kErrors, 0xCA},
    FailureCase{"PrepareBadTwice", {0xD2, 1, 2, FaultKind::Bad}, TOutcome::BoardBad, "Ошибка", kErrors, 0xD2},
    FailureCase{"PreambleSilent", {0xD5, 1, 1, FaultKind::Silent}, TOutcome::LinkLost, "Нет соединения", kLost, 0xD5},
    FailureCase{"SilentFromBlock7", {0xC9, 7, -1, FaultKind::Silent}, TOutcome::LinkLost, "Нет соединения", kLost, 0xC9}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(WorkflowFixture, FailedGateStillPassesThroughProgrammingStatus)
{
    sim->AddFault({0xD6, 1, 1, FaultKind::WrongCase});
    EXPECT_EQ(ProgramBoard(*link, EmbeddedFirmware(), ui, *fonts, false, ""), TOutcome::LinkLost);
    EXPECT_EQ(ui.Statuses, (std::vector<std::string>{"Программирование", "Нет соединения"}));
    EXPECT_TRUE(RequestsWith(0xD2).empty());
}

TEST_F(WorkflowFixture, FaithfulRamHasNoErrors)
{
    int32_t errors = -1;
    EXPECT_EQ(TestBoardRam(*link, ui, errors), TOutcome::Done);
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(ui.Messages, (std::vector<ShownBox>{{"Проверка RAM!", "Ошибок: 0", TBoxKind::Information}}));
    EXPECT_EQ(ui.Statuses, (std::vector<std::string>{"Запись RAM", "Чтение RAM", "RAM, ошибок: 0"}));
    EXPECT_EQ(ui.Gauge.size(), 2048u);
    EXPECT_EQ(ui.Gauge[127], 12);
    EXPECT_EQ(ui.Gauge[1023], 100);
    EXPECT_EQ(ui.Busy, (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(RequestsWith(0xD3).size(), 1024u);
    EXPECT_EQ(RequestsWith(0xD4).size(), 1024u);
    EXPECT_FALSE(link->IsOpen());
}

TEST_F(WorkflowFixture, RamThatReadsZerosCountsTheNonZeroPatternBytes)
{
    sim->AddFault({0xD4, 1, -1, FaultKind::ZeroData});
    int32_t errors = -1;
    EXPECT_EQ(TestBoardRam(*link, ui, errors), TOutcome::BoardBad);
    auto ram = sim->Ram();
    int32_t nonZero = static_cast<int32_t>(std::count_if(ram.begin(), ram.end(), [](uint8_t b) { return b != 0; }));
    EXPECT_EQ(errors, nonZero);
    EXPECT_GT(errors, 30000);
    EXPECT_EQ(ui.Messages.back().Text, "Ошибок: " + std::to_string(nonZero));
    EXPECT_EQ(ui.Statuses.back(), "RAM, ошибок: " + std::to_string(nonZero));
}

TEST_F(WorkflowFixture, RamSilentAtWriteBlock100)
{
    FastTimeoutsFor(0xD3, 100, -1);
    sim->AddFault({0xD3, 100, -1, FaultKind::Silent});
    int32_t errors = -1;
    EXPECT_EQ(TestBoardRam(*link, ui, errors), TOutcome::LinkLost);
    EXPECT_EQ(RequestsWith(0xD3).size(), 104u);
    EXPECT_TRUE(RequestsWith(0xD4).empty());
    EXPECT_EQ(ui.Statuses.back(), "Нет соединения");
    EXPECT_EQ(ui.Messages.back(), (ShownBox{"Проверка RAM!", "Соединение потеряно!", TBoxKind::Error}));
    EXPECT_FALSE(link->IsOpen());
}

TEST_F(WorkflowFixture, EachRamTestUsesANewPattern)
{
    int32_t errors = 0;
    ASSERT_EQ(TestBoardRam(*link, ui, errors), TOutcome::Done);
    auto first = sim->Ram();
    ASSERT_EQ(StartBoardProgram(*link, ui, false), TOutcome::Done);   // running again: it answers the reset
    ASSERT_EQ(TestBoardRam(*link, ui, errors), TOutcome::Done);
    EXPECT_NE(sim->Ram(), first);
}

TEST_F(WorkflowFixture, ConfigurationReadSendsEightBlocks)
{
    std::array<uint8_t, 256> record{};
    EXPECT_EQ(ReadBoardConfiguration(*link, ui, record), TOutcome::Done);
    std::vector<uint8_t> expected = Repeat({0x5C, 0xC8}, 0xD1, 8);
    EXPECT_EQ(Requests(), expected);
    auto reads = RequestsWith(0xD1);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(reads[i].Payload[1], 0x20 * i);
    EXPECT_EQ(record[0], 255);
    EXPECT_FALSE(link->IsOpen());
}

TEST_F(WorkflowFixture, ConfigurationReadFailure)
{
    sim->AddFault({0xD1, 3, 1, FaultKind::Malformed});
    std::array<uint8_t, 256> record{};
    EXPECT_EQ(ReadBoardConfiguration(*link, ui, record), TOutcome::LinkLost);
    EXPECT_EQ(ui.Messages.back(), (ShownBox{"Чтение конфигурации!", "Соединение потеряно!", TBoxKind::Error}));
    EXPECT_EQ(ui.Statuses.back(), "Нет соединения");
    EXPECT_FALSE(link->IsOpen());
}

TEST_F(WorkflowFixture, StartSendsExactlyOnePacket)
{
    EXPECT_EQ(StartBoardProgram(*link, ui, false), TOutcome::Done);
    auto starts = AwaitRequestsWith(0xCD, 1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].Payload, (std::vector<uint8_t>{0xCD, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Requests().size(), 1u);
    EXPECT_FALSE(link->IsOpen());
    link->SetPortName("");
    EXPECT_EQ(StartBoardProgram(*link, ui, false), TOutcome::PortFailed);
    EXPECT_TRUE(ui.Messages.empty());
}
