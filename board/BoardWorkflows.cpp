#include "board/BoardWorkflows.h"

#include "board/BoardBlocks.h"
#include "board/BoardLink.h"
#include "firmware/Firmware.h"
#include "fonts/fntUnit.h"
#include "serial/Serial.h"
#include "util/Dialogue.h"
#include "util/Random.h"
#include "util/StrUnit.h"

#include <vector>

namespace {
constexpr int32_t FirmwareLength = static_cast<int32_t>(FirmwareImage.size());
constexpr int32_t RamSize = 32768;
constexpr int32_t RamBlocks = RamSize / BlockSize;

// Firmware, then its verification, then the fonts and the font table; stops at the first failure.
int32_t ProgramAll(TUserDialogue& ui, TFontSet& fonts, bool includeFonts, int32_t result)
{
    ProgressFn progress = [&ui](int32_t percent) { ui.ShowProgress(percent); };
    ui.SetStatus("Программирование");
    if (result == LinkOk) result = ProgramImage(FirmwareImage, FirmwareLength, false, progress);
    if (result == LinkOk) {
        ui.SetStatus("Сверка");
        result = ProgramImage(FirmwareImage, FirmwareLength, true, progress);
    }
    if (!includeFonts) return result;
    if (result == LinkOk) {
        ui.SetStatus("Запись шрифтов");
        result = ProgramData(fonts.FontBuffer, fonts.FontSize, fonts.FontBase, progress, false);
    }
    if (result == LinkOk) {
        ui.SetStatus("Сверка шрифтов");
        result = ProgramData(fonts.FontBuffer, fonts.FontSize, fonts.FontBase, progress, true);
    }
    if (result == LinkOk) {
        BuildFontTable(fonts);
        result = WriteFontTable(fonts.FontTable.data(), false, 0);
    }
    if (result == LinkOk) result = WriteFontTable(fonts.FontTable.data(), true, 0);
    return result;
}

TOutcome ReportProgramming(TUserDialogue& ui, int32_t result)
{
    if (result == LinkLost) {
        ui.SetStatus("Нет соединения");
        ui.ShowMessage("Сверка!", "Соединение потеряно!", MbError);
        return TOutcome::LinkLost;
    }
    if (result == LinkBad) {
        ui.SetStatus("Ошибка");
        ui.ShowMessage("Сверка!", "Программирование было выполнено с ошибками!", MbError);
        return TOutcome::BoardBad;
    }
    ui.SetStatus("OK");
    ui.ShowMessage("Информация!", "Программирование завершено!", MbInfo);
    return TOutcome::Done;
}

// Runs the connection sequence; Done when connected, else why the workflow stops.
TOutcome Connect(TUserDialogue& ui, bool& versionRead)
{
    switch (OpenConnection(ui, versionRead)) {
    case TConnect::Connected: return TOutcome::Done;
    case TConnect::PortFailed: return TOutcome::PortFailed;
    default: return TOutcome::LinkLost;
    }
}

// One pass over the RAM's 1024 blocks with the gauge moved after each; false at the first failure.
template <typename BlockFn>
bool RamPass(TUserDialogue& ui, const char* status, BlockFn block)
{
    ui.SetBusy(true);
    ui.SetStatus(status);
    bool ok = true;
    for (int32_t i = 0; i < RamBlocks && ok; ++i) {
        ok = block(i * BlockSize);
        if (ok) ui.MoveGauge(PercentHalfEven(i + 1, RamBlocks));
    }
    ui.SetBusy(false);
    return ok;
}
} // namespace

TOutcome ProgramBoard(TUserDialogue& ui, TFontSet& fonts, bool includeFonts, const std::string& fontFile)
{
    if (includeFonts && !PrepareFonts(fonts, fontFile, ui)) return TOutcome::FileRefused;
    bool versionRead = false;
    if (TOutcome connected = Connect(ui, versionRead); connected != TOutcome::Done) return connected;
    int32_t result = versionRead ? LoaderVersionGate() : LinkOk;
    if (result == LinkOk) result = PrepareProgramming();
    result = ProgramAll(ui, fonts, includeFonts, result);
    CloseBoardPort();
    return ReportProgramming(ui, result);
}

TOutcome TestBoardRam(TUserDialogue& ui, int32_t& errors)
{
    errors = 0;
    bool versionRead = false;
    if (TOutcome connected = Connect(ui, versionRead); connected != TOutcome::Done) return connected;
    SeedRandomFromClock();
    std::vector<uint8_t> pattern(RamSize), readBack(RamSize);
    for (uint8_t& b : pattern) b = RandomByte();
    bool ok = RamPass(ui, "Запись RAM", [&](int32_t a) { return WriteRamBlock(&pattern[a], a); }) &&
              RamPass(ui, "Чтение RAM", [&](int32_t a) { return ReadRamBlock(&readBack[a], a); });
    TOutcome outcome = TOutcome::LinkLost;
    if (ok) {
        for (int32_t i = 0; i < RamSize; ++i) errors += pattern[i] != readBack[i];
        ui.ShowMessage("Проверка RAM!", "Ошибок: " + std::to_string(errors), MbInfo);
        ui.SetStatus("RAM, ошибок: " + std::to_string(errors));
        outcome = errors == 0 ? TOutcome::Done : TOutcome::BoardBad;
    } else {
        ui.SetStatus("Нет соединения");
        ui.ShowMessage("Проверка RAM!", "Соединение потеряно!", MbError);
    }
    CloseBoardPort();
    return outcome;
}

TOutcome StartBoardProgram(TUserDialogue& ui, bool showErrors)
{
    OpenBoardPort(showErrors, ui);
    bool opened = !BoardPort->Error;
    if (opened) StartBoard();
    CloseBoardPort();
    return opened ? TOutcome::Done : TOutcome::PortFailed;
}

TOutcome ReadBoardConfiguration(TUserDialogue& ui, std::array<uint8_t, 256>& record)
{
    OpenBoardPort(true, ui);
    if (BoardPort->Error) {
        CloseBoardPort();
        return TOutcome::PortFailed;
    }
    if (!ConnectBoard()) {
        CloseBoardPort();
        ui.ShowMessage("Попытка соединения!", "Не удалось соединиться с табло!", MbError);
        return TOutcome::LinkLost;
    }
    record.fill(0);
    for (int32_t i = 0; i < 8; ++i) {
        uint8_t block[32];
        if (!ReadConfigBlock(block, 31, i)) {
            CloseBoardPort();
            ui.SetStatus("Нет соединения");
            ui.ShowMessage("Чтение конфигурации!", "Соединение потеряно!", MbError);
            return TOutcome::LinkLost;
        }
        std::copy_n(block, i < 7 ? 32 : 31, record.begin() + 1 + 32 * i);
    }
    record[0] = 255;
    CloseBoardPort();
    return TOutcome::Done;
}
