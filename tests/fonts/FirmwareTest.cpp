#include "firmware/Firmware.h"

#include <gtest/gtest.h>

#include <set>
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
} // namespace
