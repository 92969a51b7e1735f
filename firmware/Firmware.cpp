#include "firmware/Firmware.h"

#include "util/InputFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {
TFirmware MakeEmbedded()
{
    TFirmware firmware;
    firmware.Fixed = FixedBlock;
    firmware.Image = FirmwareImage;
    firmware.Placeholder = FirmwareIsPlaceholder;
    // The version and date the main window has always shown for the product's image.
    firmware.Version = "3.00";
    firmware.Date = "11.05.2005";
    return firmware;
}

// The file's modification date as DD.MM.YYYY (UTC); empty when it cannot be read.
std::string ModificationDate(const std::string& path)
{
    std::error_code error;
    auto written = std::filesystem::last_write_time(path, error);
    if (error) return {};
    auto days = std::chrono::floor<std::chrono::days>(std::chrono::file_clock::to_sys(written));
    std::chrono::year_month_day date{days};
    char text[16];
    std::snprintf(text, sizeof text, "%02u.%02u.%04d", static_cast<unsigned>(date.day()),
                  static_cast<unsigned>(date.month()), static_cast<int>(date.year()));
    return text;
}
}   // namespace

const char* const PlaceholderRefusalText =
    "Эта сборка не содержит прошивки табло: в ней заглушка, которую можно записать только в имитатор "
    "табло. Укажите файл прошивки: --firmware ФАЙЛ или параметр сборки FLASHER_FIRMWARE_FILE.";

const TFirmware& EmbeddedFirmware()
{
    static const TFirmware embedded = MakeEmbedded();
    return embedded;
}

bool SplitFirmwareFile(std::span<const uint8_t> bytes, TFirmware& firmware)
{
    if (bytes.size() != FirmwareFileSize) return false;
    std::copy_n(bytes.begin(), FixedBlockSize, firmware.Fixed.begin());
    std::copy(bytes.begin() + FixedBlockSize, bytes.end(), firmware.Image.begin());
    firmware.Placeholder = false;
    return true;
}

TMaybeProblem ReadFirmwareFile(const std::string& path, TFirmware& firmware)
{
    std::vector<uint8_t> bytes;
    if (TMaybeProblem problem = ReadInputFile(path, FirmwareFileSize, bytes)) return problem;
    if (!SplitFirmwareFile(bytes, firmware))
        return TProblem(TProblemKind::WrongContents,
                        "в файле " + std::to_string(bytes.size()) + " байт, а файл прошивки должен содержать " +
                            std::to_string(FirmwareFileSize) + " байт (постоянный блок 19 байт и образ 9728 байт)");
    firmware.File = path;
    firmware.Version = std::filesystem::path(path).filename().string();
    firmware.Date = ModificationDate(path);
    return std::nullopt;
}

TMaybeProblem ChooseFirmware(const std::string& path, TFirmware& firmware)
{
    if (path.empty()) {
        firmware = EmbeddedFirmware();
        return std::nullopt;
    }
    TMaybeProblem problem = ReadFirmwareFile(path, firmware);
    if (problem) return TProblem(problem->Kind(), "файл прошивки " + path + " не подходит: " + problem->Reason());
    return std::nullopt;
}

std::string FirmwareDescription(const TFirmware& firmware)
{
    if (firmware.Placeholder) return "заглушка, не для табло";
    std::string text = firmware.Version;
    if (!firmware.Date.empty()) text += " от " + firmware.Date;
    return text;
}
