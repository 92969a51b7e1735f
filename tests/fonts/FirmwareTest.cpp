#include "firmware/Firmware.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {
// The placeholder's documented generator: the little-endian words of xorshift32 (13, 17, 5)
// seeded with 0x464C5348, fixed block first.
std::vector<uint8_t> PlaceholderBytes(size_t size)
{
    std::vector<uint8_t> bytes;
    uint32_t x = 0x464C5348;
    while (bytes.size() < size) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        for (int i = 0; i < 4 && bytes.size() < size; ++i) bytes.push_back(static_cast<uint8_t>(x >> (8 * i)));
    }
    return bytes;
}

TEST(Firmware, SizesOfFixedBlockAndImage)
{
    static_assert(sizeof(FixedBlock) == 19);
    static_assert(sizeof(FirmwareImage) == 9728);
    EXPECT_EQ(FixedBlock.size() + FirmwareImage.size(), 9747u);
}

TEST(Firmware, PlaceholderIsTheGeneratorsOutput)
{
    if (!FirmwareIsPlaceholder) GTEST_SKIP() << "built with the product's firmware file";
    std::vector<uint8_t> embedded(FixedBlock.begin(), FixedBlock.end());
    embedded.insert(embedded.end(), FirmwareImage.begin(), FirmwareImage.end());
    EXPECT_EQ(embedded, PlaceholderBytes(9747));
}

TEST(Firmware, BytesAreNotConstant)
{
    // A zero-filled or constant image would let a transfer that drops or repeats blocks pass unseen.
    EXPECT_GT(std::set<uint8_t>(FirmwareImage.begin(), FirmwareImage.end()).size(), 200u);
    EXPECT_GT(std::set<uint8_t>(FixedBlock.begin(), FixedBlock.end()).size(), 1u);
}
}   // namespace

// A firmware file given at run time gets the build option's checks: exactly 9747 bytes of a
// regular file, fixed block first.
TEST(FirmwareFile, AcceptedFileSplitsIntoFixedBlockAndImage)
{
    std::string path = testing::TempDir() + "firmware-good.bin";
    std::vector<uint8_t> bytes = PlaceholderBytes(FirmwareFileSize);
    std::reverse(bytes.begin(), bytes.end());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    TFirmware firmware;
    firmware.Placeholder = true;
    EXPECT_FALSE(ReadFirmwareFile(path, firmware));
    EXPECT_TRUE(std::equal(firmware.Fixed.begin(), firmware.Fixed.end(), bytes.begin()));
    EXPECT_TRUE(std::equal(firmware.Image.begin(), firmware.Image.end(), bytes.begin() + FixedBlockSize));
    EXPECT_FALSE(firmware.Placeholder);
    EXPECT_EQ(firmware.File, path);
    EXPECT_EQ(firmware.Version, "firmware-good.bin");
    EXPECT_EQ(firmware.Date.size(), 10u);
    std::remove(path.c_str());
}

TEST(FirmwareFile, RefusalsSayWhy)
{
    auto write = [](const std::string& name, size_t size) {
        std::string path = testing::TempDir() + name;
        std::ofstream(path, std::ios::binary) << std::string(size, 'x');
        return path;
    };
    const std::pair<std::string, const char*> cases[] = {
        {write("firmware-short.bin", FirmwareFileSize - 1), "в файле 9746 байт"},
        {write("firmware-empty.bin", 0), "в файле 0 байт"},
        {write("firmware-long.bin", FirmwareFileSize + 1), "файл больше допустимого (9747 байт)"},
        {testing::TempDir() + "no-such-firmware.bin", "файл не найден"},
        {testing::TempDir(), "это не обычный файл"},
    };
    for (const auto& [path, reason] : cases) {
        TFirmware firmware = EmbeddedFirmware();
        TMaybeProblem problem = ReadFirmwareFile(path, firmware);
        ASSERT_TRUE(problem) << path;
        EXPECT_NE(problem->Reason().find(reason), std::string::npos) << path << ": " << problem->Reason();
        EXPECT_TRUE(firmware.File.empty()) << path;
    }
}
