#include "loader/LoaderImageWorkflow.h"

#include "firmware/Firmware.h"
#include "fonts/FontFile.h"
#include "loader/LoaderLink.h"
#include "util/InputFile.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {
bool PrepareImageFonts(TUserDialogue& ui, TFontSet& fonts, bool includeFonts, const std::string& fontFile)
{
    if (includeFonts) return PrepareFonts(fonts, fontFile, ui);
    fonts.FontSize = 0;
    fonts.FontCount = 0;
    fonts.FontBase = 0;
    return true;
}

// Empty when `path` holds a block image that can be written; otherwise why not.
std::string ReadImageFile(const std::string& path, TBlockImage& image)
{
    std::vector<uint8_t> bytes;
    if (TMaybeProblem problem = ReadInputFile(path, image.size(), bytes)) return problem->Reason();
    if (bytes.size() != image.size())
        return "размер файла " + std::to_string(bytes.size()) + " байт, а образ блока занимает ровно " +
               std::to_string(image.size()) + " байт";
    std::copy(bytes.begin(), bytes.end(), image.begin());
    if (!ImageFitsBlockArea(image)) return "заголовок образа описывает данные за пределами блока";
    return {};
}

TOutcome TakeImageFile(const std::string& path, TUserDialogue& ui, TBlockImage& image)
{
    std::string reason = ReadImageFile(path, image);
    if (reason.empty()) return TOutcome::Done;
    ui.ShowMessage(
        {TMessageId::ImageRefused, "Ошибка!", "Файл образа не подходит: " + path + ": " + reason, TBoxKind::Error});
    return TOutcome::FileRefused;
}
}   // namespace

TOutcome BuildLoaderImage(const TLoaderLink& link, const TFirmware& firmware, bool includeFonts,
                          const std::string& fontFile, TUserDialogue& ui, TFontSet& fonts, TBlockImage& image)
{
    // Its blocks are what boards load: a placeholder goes only into the simulated board's.
    if (!link.FirmwareAllowed(firmware)) {
        ui.ShowMessage({TMessageId::PlaceholderRefused, "Ошибка!", PlaceholderRefusalText, TBoxKind::Error});
        return TOutcome::Refused;
    }
    if (!PrepareImageFonts(ui, fonts, includeFonts, fontFile)) return TOutcome::FileRefused;
    if (!BuildBlockImage(fonts, image, firmware)) {
        // Prepared fonts always fit a block; this guards against font fields set some other way.
        ShowFontsDoNotFit(ui);
        return TOutcome::FileRefused;
    }
    return TOutcome::Done;
}

TOutcome PrepareLoaderImage(const TLoaderLink& link, const TBlockImageFiles& files, TUserDialogue& ui,
                            TBlockImage& image)
{
    if (!files.Image.empty()) return TakeImageFile(files.Image, ui, image);
    auto firmware = std::make_unique<TFirmware>();
    if (TMaybeProblem problem = ChooseFirmware(files.Firmware, *firmware)) {
        ui.ShowMessage({TMessageId::FirmwareRefused, "Ошибка!", problem->Reason(), TBoxKind::Error});
        return TOutcome::FileRefused;
    }
    return BuildLoaderImage(link, *firmware, !files.Fonts.empty(), files.Fonts, ui, *std::make_unique<TFontSet>(),
                            image);
}
