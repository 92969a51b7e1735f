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

// Where a block's image comes from when only file names are given: an image file saved from a
// block, or a firmware file (empty: the embedded firmware) with an optional font file.
struct TBlockImageFiles {
    std::string Image;
    std::string Firmware;
    std::string Fonts;
};

// Fills `image` from `files`: an image file whole, else as BuildLoaderImage. A refused image file
// or firmware file is shown (ImageRefused, FirmwareRefused) and gives FileRefused.
TOutcome PrepareLoaderImage(const TLoaderLink& link, const TBlockImageFiles& files, TUserDialogue& ui,
                            TBlockImage& image);
