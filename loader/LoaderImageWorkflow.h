// The block image the loader stores, built once for the loader window's "В загрузчик" and for
// `flasher-cli loader write`: the placeholder decision, the fonts, the image.
#pragma once

#include "loader/BlockImage.h"
#include "util/Dialogue.h"

#include <string>

class TLoaderLink;
struct TFirmware;
struct TFontSet;

// Fills `image` with `firmware` and, when includeFonts, the fonts of fontFile (prepared into
// `fonts`); without fonts the font sizes are set to 0, so the image carries no font data.
// Refused when the firmware is a placeholder and `link`'s port is not the simulated board;
// FileRefused when the font file was refused or the fonts do not fit. The reason has been shown.
TOutcome BuildLoaderImage(const TLoaderLink& link, const TFirmware& firmware, bool includeFonts,
                          const std::string& fontFile, TUserDialogue& ui, TFontSet& fonts, TBlockImage& image);
