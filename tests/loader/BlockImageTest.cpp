// The block image the loader window writes: header, firmware, optional fonts and font table.
#include "loader/BlockImage.h"

#include "firmware/Firmware.h"
#include "fonts/FontFile.h"
#include "tests/loader/Printers.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
struct ImageCase {
    const char* name;
    int32_t fontSize, fontCount, fontBase;
    SegmentDescriptor fonts, table;
    std::vector<uint8_t> tableStart;
    uint32_t dataSize;
    const char* dataSizeText;
};

std::vector<uint8_t> Bytes(const TBlockImage& image, size_t offset, size_t count)
{
    return {image.begin() + static_cast<ptrdiff_t>(offset), image.begin() + static_cast<ptrdiff_t>(offset + count)};
}

bool AllFF(const TBlockImage& image, size_t from, size_t to)
{
    return std::all_of(image.begin() + static_cast<ptrdiff_t>(from), image.begin() + static_cast<ptrdiff_t>(to),
                       [](uint8_t b) { return b == 0xFF; });
}
}   // namespace

class BlockImageTest : public testing::TestWithParam<ImageCase> {};
TEST_P(BlockImageTest, Builds)
{
    const ImageCase& c = GetParam();
    auto fonts = std::make_unique<TFontSet>();
    fonts->FontSize = c.fontSize;
    fonts->FontCount = c.fontCount;
    fonts->FontBase = c.fontBase;
    for (int32_t i = 0; i < c.fontSize; ++i)
        fonts->FontBuffer[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 7 + 1);
    auto image = std::make_unique<TBlockImage>();
    image->fill(0x55);

    ASSERT_TRUE(BuildBlockImage(*fonts, *image));
    BlockHeader header = HeaderOf(*image);
    EXPECT_EQ((*image)[0], 0);
    EXPECT_TRUE(AllFF(*image, 1, 128));
    EXPECT_EQ(header.Descriptor(0), (SegmentDescriptor{528, 9728, 0x8000}));
    EXPECT_EQ(header.Descriptor(1), c.fonts);
    EXPECT_EQ(header.Descriptor(2), c.table);
    EXPECT_TRUE(AllFF(*image, 146, 528));
    EXPECT_EQ(Bytes(*image, 528, 9728), std::vector<uint8_t>(FirmwareImage.begin(), FirmwareImage.end()));
    for (int32_t i = 0; i < c.fontSize; ++i)
        ASSERT_EQ((*image)[10256 + static_cast<size_t>(i)], static_cast<uint8_t>(i * 7 + 1)) << i;
    EXPECT_EQ(Bytes(*image, c.table.Offset, c.tableStart.size()), c.tableStart);
    EXPECT_TRUE(AllFF(*image, c.table.Offset + c.tableStart.size(), c.table.Offset + 32u));
    EXPECT_TRUE(AllFF(*image, c.table.Offset + 32u, BlockImageSize));
    EXPECT_EQ(ImageDataSize(*image), c.dataSize);
    EXPECT_EQ(DataSizeText(*image), c.dataSizeText);
    EXPECT_TRUE(ImageFitsBlockArea(*image));
    // The table the image carries is the one the fonts now hold.
    EXPECT_EQ(Bytes(*image, c.table.Offset, 32),
              std::vector<uint8_t>(fonts->FontTable.begin(), fonts->FontTable.end()));
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, BlockImageTest, testing::Values(
    ImageCase{"WithoutFonts", 0, 0, 0, {10256, 0, 0}, {10256, 32, 0xFF00}, {0x00}, 9728, "Размер данных: 9728"},
    ImageCase{"ThreeFonts", 2000, 3, 0xA600, {10256, 2000, 0xA600}, {12256, 32, 0xFF00}, {0x03, 0xA6, 0xA8, 0xAA},
              11728, "Размер данных: 11728"},
    ImageCase{"LargestFonts", 22784, 1, 0xA600, {10256, 22784, 0xA600}, {33040, 32, 0xFF00}, {0x01, 0xA6}, 32512,
              "Размер данных: 32512"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(BlockImage, FontsThatWouldPassTheBlockAreaAreRefused)
{
    auto fonts = std::make_unique<TFontSet>();
    auto image = std::make_unique<TBlockImage>();
    image->fill(0x55);
    fonts->FontSize = MaxImageFontSize + 1;
    EXPECT_FALSE(BuildBlockImage(*fonts, *image));
    fonts->FontSize = -1;
    EXPECT_FALSE(BuildBlockImage(*fonts, *image));
    EXPECT_EQ((*image)[0], 0x55);
    fonts->FontSize = MaxImageFontSize;
    EXPECT_TRUE(BuildBlockImage(*fonts, *image));
    EXPECT_TRUE(ImageFitsBlockArea(*image));
}

TEST(BlockImage, NameGoesIntoTheHeader)
{
    auto fonts = std::make_unique<TFontSet>();
    auto image = std::make_unique<TBlockImage>();
    ASSERT_TRUE(BuildBlockImage(*fonts, *image));
    SetImageName(*image, "Вокзал");
    EXPECT_EQ((*image)[0], 6);
    EXPECT_EQ(HeaderOf(*image).Name(), "Вокзал");
    EXPECT_EQ((*image)[7], 0xFF);
    EXPECT_EQ(HeaderOf(*image).Descriptor(0), (SegmentDescriptor{528, 9728, 0x8000}));
}

TEST(BlockImage, SegmentsToWriteEndAtTheFirstInvalidDescriptor)
{
    auto fonts = std::make_unique<TFontSet>();
    auto image = std::make_unique<TBlockImage>();
    ASSERT_TRUE(BuildBlockImage(*fonts, *image));
    // Without fonts descriptor 1 has size 0, so the font table after it is not written either.
    EXPECT_EQ(SegmentsToWrite(HeaderOf(*image)), (std::vector<SegmentDescriptor>{{528, 9728, 0x8000}}));
    BlockHeader header = HeaderOf(*image);
    header.SetDescriptor(0, {0xFFFF, 10, 0});
    header.SetDescriptor(1, {600, 10, 0});
    header.SetDescriptor(3, {700, 0, 0});
    EXPECT_EQ(SegmentsToWrite(header), (std::vector<SegmentDescriptor>{{600, 10, 0}, {10256, 32, 0xFF00}}));
}
