#include "board/BoardWorkflows.h"

#include "board/BoardLink.h"
#include "firmware/Firmware.h"
#include "fonts/FontFile.h"
#include "serial/PortNotes.h"
#include "util/TextFormat.h"

#include <vector>

namespace {
constexpr int32_t FirmwareLength = static_cast<int32_t>(FirmwareImageSize);
constexpr int32_t RamSize = 32768;
constexpr int32_t RamBlocks = RamSize / BlockSize;

// The acknowledged exchanges of a programming run: every block written and verified, the
// preparation and the font table.
int32_t ProgrammingExchanges(const TFontSet& fonts, bool includeFonts)
{
    auto blocks = [](int32_t length) { return (length + BlockSize - 1) / BlockSize; };
    return 2 * blocks(FirmwareLength) + 1 + (includeFonts ? 2 * blocks(fonts.FontSize) + 2 : 0);
}

// Firmware, then its verification, then the fonts and the font table; stops at the first failure.
TLinkResult ProgramAll(TBoardLink& link, const TFirmware& firmware, TUserDialogue& ui, TFontSet& fonts,
                       bool includeFonts, TLinkResult result)
{
    ProgressFn progress = [&ui](const TProgress& p) { ui.ShowTransfer(p); };
    const auto& image = firmware.Image;
    ui.SetStatus("Программирование");
    if (result == TLinkResult::Ok) result = link.ProgramImage(image, FirmwareLength, false, progress);
    if (result == TLinkResult::Ok) {
        ui.SetStatus("Сверка");
        result = link.ProgramImage(image, FirmwareLength, true, progress);
    }
    if (!includeFonts) return result;
    if (result == TLinkResult::Ok) {
        ui.SetStatus("Запись шрифтов");
        result = link.ProgramData(fonts.FontBuffer, fonts.FontSize, fonts.FontBase, progress, false);
    }
    if (result == TLinkResult::Ok) {
        ui.SetStatus("Сверка шрифтов");
        result = link.ProgramData(fonts.FontBuffer, fonts.FontSize, fonts.FontBase, progress, true);
    }
    if (result == TLinkResult::Ok) {
        BuildFontTable(fonts);
        result = link.WriteFontTable(fonts.FontTable.data(), false, 0);
    }
    if (result == TLinkResult::Ok) result = link.WriteFontTable(fonts.FontTable.data(), true, 0);
    return result;
}

// What an interrupted programming leaves on the board, said under a lost link and a stop alike.
constexpr const char* ProgrammingLeftNote =
    "Если запись программы уже началась, табло осталось без рабочей программы: повторите запись программы.";

TOutcome ReportProgramming(TBoardLink& link, TUserDialogue& ui, TLinkResult result)
{
    if (result == TLinkResult::Lost) {
        ui.SetStatus("Нет соединения");
        ui.ShowMessage({TMessageId::ConnectionLost, "Сверка!",
                        std::string("Соединение потеряно!\n") + ProgrammingLeftNote, TBoxKind::Error});
        link.SayIfPortGone(ui);
        return TOutcome::LinkLost;
    }
    if (result == TLinkResult::Bad) {
        ui.SetStatus("Ошибка");
        ui.ShowMessage(
            {TMessageId::ProgrammingFailed, "Сверка!", "Программирование было выполнено с ошибками!", TBoxKind::Error});
        return TOutcome::BoardBad;
    }
    ui.SetStatus("OK");
    ui.ShowMessage({TMessageId::ProgrammingDone, "Информация!", "Программирование завершено!", TBoxKind::Information});
    return TOutcome::Done;
}

// Runs the connection sequence; Done when connected, else why the workflow stops.
TOutcome Connect(TBoardLink& link, TUserDialogue& ui, bool& versionRead)
{
    switch (link.OpenConnection(ui, versionRead)) {
    case TConnect::Connected: return TOutcome::Done;
    case TConnect::PortFailed: return TOutcome::PortFailed;
    default: return TOutcome::LinkLost;
    }
}

// One pass over the RAM's 1024 blocks with the gauge moved after each; false at the first failure.
template <typename BlockFn> bool RamPass(TUserDialogue& ui, const char* status, BlockFn block)
{
    ui.SetBusy(true);
    ui.SetStatus(status);
    bool ok = true;
    for (int32_t i = 0; i < RamBlocks && ok; ++i) {
        ok = block(i * BlockSize);
        if (ok) ui.MoveTransfer({PercentHalfEven(i + 1, RamBlocks), int64_t{BlockSize} * (i + 1), RamSize});
    }
    ui.SetBusy(false);
    return ok;
}
}   // namespace

TOutcome ProgramBoard(TBoardLink& link, const TFirmware& firmware, TUserDialogue& ui, TFontSet& fonts,
                      bool includeFonts, const std::string& fontFile)
{
    if (!link.FirmwareAllowed(firmware)) {
        ui.ShowMessage({TMessageId::PlaceholderRefused, "Запись программы!", PlaceholderRefusalText, TBoxKind::Error});
        return TOutcome::Refused;
    }
    if (includeFonts && !PrepareFonts(fonts, fontFile, ui)) return TOutcome::FileRefused;
    return ProgramPreparedBoard(link, firmware, ui, fonts, includeFonts);
}

TOutcome ProgramPreparedBoard(TBoardLink& link, const TFirmware& firmware, TUserDialogue& ui, TFontSet& fonts,
                              bool includeFonts)
{
    if (!link.FirmwareAllowed(firmware)) {
        ui.ShowMessage({TMessageId::PlaceholderRefused, "Запись программы!", PlaceholderRefusalText, TBoxKind::Error});
        return TOutcome::Refused;
    }
    bool versionRead = false;
    if (TOutcome connected = Connect(link, ui, versionRead); connected != TOutcome::Done) return connected;
    link.SayIfSlowAdapter(ProgrammingExchanges(fonts, includeFonts), ui);
    TLinkResult result = versionRead ? link.LoaderVersionGate(firmware) : TLinkResult::Ok;
    if (result == TLinkResult::Ok) result = link.PrepareProgramming();
    result = ProgramAll(link, firmware, ui, fonts, includeFonts, result);
    link.CloseBoardPort();
    return ReportProgramming(link, ui, result);
}

TOutcome TestBoardRam(TBoardLink& link, TUserDialogue& ui, int32_t& errors)
{
    errors = 0;
    bool versionRead = false;
    if (TOutcome connected = Connect(link, ui, versionRead); connected != TOutcome::Done) return connected;
    link.SayIfSlowAdapter(2 * RamBlocks, ui);
    std::vector<uint8_t> pattern(RamSize), readBack(RamSize);
    link.FillRandom(pattern);
    bool ok = RamPass(ui, "Запись RAM", [&](int32_t a) { return link.WriteRamBlock(&pattern[a], a); }) &&
              RamPass(ui, "Чтение RAM", [&](int32_t a) { return link.ReadRamBlock(&readBack[a], a); });
    TOutcome outcome = TOutcome::LinkLost;
    if (ok) {
        for (int32_t i = 0; i < RamSize; ++i) errors += pattern[i] != readBack[i];
        ui.ShowMessage(
            {TMessageId::RamResult, "Проверка RAM!", "Ошибок: " + std::to_string(errors), TBoxKind::Information});
        ui.SetStatus("RAM, ошибок: " + std::to_string(errors));
        outcome = errors == 0 ? TOutcome::Done : TOutcome::BoardBad;
    } else {
        ui.SetStatus("Нет соединения");
        ui.ShowMessage({TMessageId::ConnectionLost, "Проверка RAM!", "Соединение потеряно!", TBoxKind::Error});
        link.SayIfPortGone(ui);
    }
    link.CloseBoardPort();
    return outcome;
}

TOutcome StartBoardProgram(TBoardLink& link, TUserDialogue& ui, bool showErrors)
{
    link.OpenBoardPort(showErrors, ui);
    bool opened = !link.LastFailure();
    if (opened) link.StartBoard();
    link.CloseBoardPort();
    return opened ? TOutcome::Done : TOutcome::PortFailed;
}

TOutcome ReadBoardConfiguration(TBoardLink& link, TUserDialogue& ui, std::array<uint8_t, 256>& record)
{
    link.OpenBoardPort(true, ui);
    if (link.LastFailure()) {
        link.CloseBoardPort();
        return TOutcome::PortFailed;
    }
    if (!link.ConnectBoardOrReport(ui)) return TOutcome::LinkLost;
    record.fill(0);
    for (int32_t i = 0; i < 8; ++i) {
        uint8_t block[32];
        if (!link.ReadConfigBlock(block, 31, i)) {
            link.CloseBoardPort();
            ui.SetStatus("Нет соединения");
            ui.ShowMessage(
                {TMessageId::ConnectionLost, "Чтение конфигурации!", "Соединение потеряно!", TBoxKind::Error});
            link.SayIfPortGone(ui);
            return TOutcome::LinkLost;
        }
        std::copy_n(block, i < 7 ? 32 : 31, record.begin() + 1 + 32 * i);
    }
    record[0] = 255;
    link.CloseBoardPort();
    return TOutcome::Done;
}

std::string StoppedBoardWorkNote(TBoardWork work)
{
    switch (work) {
    case TBoardWork::Program: return ProgrammingLeftNote;
    case TBoardWork::RamTest: return "Проверка RAM не закончена; программа в табло не изменена.";
    case TBoardWork::Start: return "Табло могло не запуститься: запустите его ещё раз.";
    case TBoardWork::Configuration: break;
    }
    return "Чтение конфигурации не закончено; в табло ничего не изменено.";
}
