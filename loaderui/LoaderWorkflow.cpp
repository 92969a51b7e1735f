#include "loaderui/LoaderWorkflow.h"

#include "fonts/FontFile.h"
#include "loader/BlockImage.h"
#include "loader/LoaderLink.h"
#include "loaderui/LoaderWindow.h"
#include "serial/Serial.h"
#include "util/Dialogue.h"

#include <memory>

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

void RunLoaderWorkflow(TLoaderLink& link, TSettings& settings, QWidget* owner, TUserDialogue& ui, TFontSet& fonts,
                       bool includeFonts, const std::string& fontFile, const TFirmware& firmware)
{
    // Its blocks are what boards load: a placeholder goes only into the simulated board's.
    if (firmware.Placeholder && !link.MayTakePlaceholder(link.LoaderPortName)) {
        ui.ShowMessage({TMessageId::PlaceholderRefused, "Ошибка!", PlaceholderRefusalText, MbError});
        return;
    }
    if (!PrepareImageFonts(ui, fonts, includeFonts, fontFile)) return;
    // 64 KiB: on the heap, not on the window thread's stack.
    auto image = std::make_unique<TBlockImage>();
    if (!BuildBlockImage(fonts, *image, firmware)) {
        // Prepared fonts always fit a block; this guards against font fields set some other way.
        ShowFontsDoNotFit(ui);
        return;
    }
    link.OpenLoaderPort(ui);
    if (link.LoaderPort->Error) {
        link.CloseLoaderPort();
        return;
    }
    OpenLoaderWindow(link, *image, settings, owner);
    link.CloseLoaderPort();
}
