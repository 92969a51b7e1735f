#include "loader/BlockImage.h"

#include "firmware/Firmware.h"
#include "fonts/FontFile.h"
#include "loader/LoaderLink.h"

#include <algorithm>

namespace {
void PutSegment(TBlockImage& image, BlockHeader& header, int32_t index, const uint8_t* data, uint16_t offset,
                uint16_t size, uint16_t address)
{
    std::copy_n(data, size, image.begin() + offset);
    header.SetDescriptor(index, {offset, size, address});
}

void StoreHeader(TBlockImage& image, const BlockHeader& header)
{
    std::copy(header.Bytes.begin(), header.Bytes.end(), image.begin());
}
}   // namespace

bool BuildBlockImage(TFontSet& fonts, TBlockImage& image, const TFirmware& firmware)
{
    if (fonts.FontSize < 0 || fonts.FontSize > MaxImageFontSize) return false;
    image.fill(0xFF);
    image[0] = 0;
    BlockHeader header = HeaderOf(image);
    const auto fontSize = static_cast<uint16_t>(fonts.FontSize);
    PutSegment(image, header, 0, firmware.Image.data(), FirmwareSegmentOffset,
               static_cast<uint16_t>(firmware.Image.size()), FirmwareBoardAddress);
    PutSegment(image, header, 1, fonts.FontBuffer.data(), FontSegmentOffset, fontSize,
               static_cast<uint16_t>(fonts.FontBase));
    BuildFontTable(fonts);
    PutSegment(image, header, 2, fonts.FontTable.data(), static_cast<uint16_t>(FontSegmentOffset + fontSize),
               static_cast<uint16_t>(fonts.FontTable.size()), FontTableBoardAddress);
    StoreHeader(image, header);
    return true;
}

uint32_t ImageDataSize(const TBlockImage& image) { return HeaderOf(image).DataSize(); }

std::string DataSizeText(const TBlockImage& image) { return "Размер данных: " + std::to_string(ImageDataSize(image)); }

void SetImageName(TBlockImage& image, std::string_view utf8)
{
    BlockHeader header = HeaderOf(image);
    header.SetName(utf8);
    StoreHeader(image, header);
}

int32_t ImageChunks(const TBlockImage& image)
{
    return static_cast<int32_t>((ImageDataSize(image) + ChunkSize - 1) / ChunkSize);
}
