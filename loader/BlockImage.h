// The block image the loader window writes into a loader data block: a block header, the
// firmware, the optional fonts and the font table, each described by a segment descriptor.
#pragma once

#include "firmware/Firmware.h"
#include "loader/BlockStore.h"

#include <cstdint>
#include <string>
#include <string_view>

struct TFontSet;

constexpr uint16_t FirmwareSegmentOffset = 528;
constexpr uint16_t FirmwareBoardAddress = 0x8000;
constexpr uint16_t FontSegmentOffset = 10256;
constexpr uint16_t FontTableBoardAddress = 0xFF00;
// The most font data whose segment and font table still end inside one block area.
constexpr int32_t MaxImageFontSize = static_cast<int32_t>(BlockAreaSize) - FontSegmentOffset - 32;

// Fills the image from `firmware` and `fonts` (all sizes 0 when no fonts are included). The font
// table is built first from FontCount and FontBase, so fonts.FontTable is what the image carries.
// False, with the image untouched, when FontSize is negative or the fonts would not fit a block.
bool BuildBlockImage(TFontSet& fonts, TBlockImage& image, const TFirmware& firmware = EmbeddedFirmware());

// Firmware and font data, without the font table: segment 0 plus segment 1.
uint32_t ImageDataSize(const TBlockImage& image);
std::string DataSizeText(const TBlockImage& image);
// The flash chunks (one acknowledged request each) that writing the image's data takes.
int32_t ImageChunks(const TBlockImage& image);   // "Размер данных: 9728"

// Stores the block name into the image's header (CP1251, at most 63 characters).
void SetImageName(TBlockImage& image, std::string_view utf8);
