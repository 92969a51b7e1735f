#include "loader/LoaderImageWorkflow.h"

#include "firmware/Firmware.h"
#include "fonts/FontFile.h"
#include "loader/LoaderLink.h"

namespace {
bool PrepareImageFonts(TUserDialogue& ui, TFontSet& fonts, bool includeFonts, const std::string& fontFile)
{
    if (includeFonts) return PrepareFonts(fonts, fontFile, ui);
    fonts.FontSize = 0;
    fonts.FontCount = 0;
    fonts.FontBase = 0;
    return true;
}
} // namespace

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
