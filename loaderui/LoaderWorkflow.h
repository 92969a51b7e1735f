// "В загрузчик": the block image from the firmware and, when included, the fonts; then the loader
// port and the loader window on that image. The main window's LoaderClicked only calls this.
#pragma once

#include "firmware/Firmware.h"

#include <string>

class QWidget;
class TLoaderLink;
class TUserDialogue;
struct TFontSet;
struct TSettings;

// Fonts included: the font file is prepared into `fonts` (a failure has been shown, and nothing
// else happens). Not included: the font sizes are set to 0, so the image carries no font data.
// A port that does not open has been reported by the loader link; no window is shown then.
// The window works on `link` and keeps its block name in `settings`; its image carries `firmware`.
void RunLoaderWorkflow(TLoaderLink& link, TSettings& settings, QWidget* owner, TUserDialogue& ui, TFontSet& fonts,
                       bool includeFonts, const std::string& fontFile, const TFirmware& firmware = EmbeddedFirmware());
