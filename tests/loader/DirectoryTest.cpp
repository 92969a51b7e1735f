// The directory's two copies as formatted, and how CheckDirectory judges copies that differ.
#include "loader/BlockStore.h"
#include "serial/Serial.h"

#include <gtest/gtest.h>

#include "tests/loader/ExpectedDirectory.h"
#include "tests/loader/Printers.h"

TEST(Directory, BuildsTheFormattedCopiesByteForByte)
{
    LoaderDirectory reference, primary;
    BuildDirectory(reference);
    MakePrimaryCopy(primary, reference);
    EXPECT_EQ(reference.Bytes, ExpectedReferenceCopy());
    EXPECT_EQ(primary.Bytes, ExpectedPrimaryCopy());
}

TEST(Directory, SlotAddresses)
{
    EXPECT_EQ(SlotAddress(0), 528u);
    EXPECT_EQ(SlotAddress(7), 556u);
}

struct SlotCase {
    uint32_t primary, reference;
    bool matches;
};
class SlotMatchesTest : public testing::TestWithParam<SlotCase> {};
TEST_P(SlotMatchesTest, Judges)
{
    EXPECT_EQ(SlotMatches(GetParam().primary, GetParam().reference), GetParam().matches);
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, SlotMatchesTest, testing::Values(
    SlotCase{0xFF000E70, 0x00000E70, true},
    SlotCase{0x00000E70, 0x00000E70, true},
    SlotCase{0x7F000E70, 0x00000E70, false},
    SlotCase{0xFF000E71, 0x00000E70, false},
    SlotCase{0xFF000E70, 0x01000E70, false}));
// clang-format on

namespace {
// A copy's checksum made right again after a change, so that only the change itself is judged.
void Reseal(LoaderDirectory& copy)
{
    Checksums(copy.Bytes.data(), 2110, copy.Bytes[DirectorySumAOffset], copy.Bytes[DirectorySumBOffset]);
}
}   // namespace

struct CheckCase {
    const char* name;
    void (*change)(LoaderDirectory& primary, LoaderDirectory& reference);
    std::optional<TProblemKind> status;
};
class CheckDirectoryTest : public testing::TestWithParam<CheckCase> {};
TEST_P(CheckDirectoryTest, Judges)
{
    LoaderDirectory reference, primary;
    BuildDirectory(reference);
    MakePrimaryCopy(primary, reference);
    GetParam().change(primary, reference);
    EXPECT_EQ(ProblemKindOf(CheckDirectory(primary, reference)), GetParam().status);
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, CheckDirectoryTest, testing::Values(
    CheckCase{"Formatted", [](LoaderDirectory&, LoaderDirectory&) {}, std::nullopt},
    CheckCase{"BlockHoldsData", [](LoaderDirectory& p, LoaderDirectory&) { p.Bytes[528 + 4 * 3 + 3] = 0x00; },
              std::nullopt},
    CheckCase{"PrimaryWithoutSignature", [](LoaderDirectory& p, LoaderDirectory&) { p.Bytes[0] = 0xFF; },
              TProblemKind::Unformatted},
    CheckCase{"ReferenceWithoutSignature", [](LoaderDirectory&, LoaderDirectory& r) { r.Bytes[3] = 0x26; },
              TProblemKind::Unformatted},
    CheckCase{"ErasedFlash", [](LoaderDirectory& p, LoaderDirectory& r) { p.Bytes.fill(0xFF); r.Bytes.fill(0xFF); },
              TProblemKind::Unformatted},
    CheckCase{"ReferenceByteChangedEarly", [](LoaderDirectory&, LoaderDirectory& r) { r.Bytes[4] ^= 0x01; },
              TProblemKind::Damaged},
    CheckCase{"ReferenceFillerChanged", [](LoaderDirectory&, LoaderDirectory& r) { r.Bytes[2000] = 0x00; },
              TProblemKind::Damaged},
    CheckCase{"ReferenceLastCheckedByteChanged", [](LoaderDirectory&, LoaderDirectory& r) { r.Bytes[2109] = 0; },
              TProblemKind::Damaged},
    CheckCase{"SlotMarkNeitherFullNorEmpty", [](LoaderDirectory& p, LoaderDirectory&) { p.Bytes[528 + 4 * 5 + 3] = 0x7F; },
              TProblemKind::Damaged},
    CheckCase{"SlotAddressDiffers", [](LoaderDirectory& p, LoaderDirectory&) { p.Bytes[528 + 4 * 7] ^= 0x10; },
              TProblemKind::Damaged},
    CheckCase{"ReservedSlotDiffers", [](LoaderDirectory& p, LoaderDirectory&) { p.Bytes[1056 + 4 * 31 + 1] ^= 0x01; },
              TProblemKind::Damaged},
    CheckCase{"LastReservedSlotDiffers", [](LoaderDirectory& p, LoaderDirectory&) { p.Bytes[1584] ^= 0x01; },
              TProblemKind::Damaged},
    CheckCase{"ReferenceSlotWithMark",
              [](LoaderDirectory&, LoaderDirectory& r) { r.Bytes[528 + 3] = 0xFF; Reseal(r); }, TProblemKind::Damaged},
    CheckCase{"BlockAreaMovedOverThePrimaryCopy",
              [](LoaderDirectory& p, LoaderDirectory& r) {
                  p.SetNumber(BlockSlotsOffset, 0xFF000070);
    // clang-format on
    r.SetNumber(BlockSlotsOffset, 0x00000070);
    Reseal(r);
              },
              TProblemKind::Damaged},
    CheckCase{"BlockAreaMovedOntoAnotherBlock",
              [](LoaderDirectory& p, LoaderDirectory& r) {
    p.SetNumber(BlockSlotsOffset + 4, 0x00000E70);
    r.SetNumber(BlockSlotsOffset + 4, 0x00000E70);
    Reseal(r);
              },
              TProblemKind::Damaged},
    CheckCase{"PrimaryCheckBytesSet", [](LoaderDirectory& p, LoaderDirectory&) { p.Bytes[2111] = 0x01; },
              TProblemKind::Damaged},
    CheckCase{"PrimaryFillerIsNotChecked", [](LoaderDirectory& p, LoaderDirectory&) { p.Bytes[100] = 0x00; },
              std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BlockHeader, NameLengthAbove63IsCutAtTheField)
{
    BlockHeader header;
    header.Bytes.fill('A');
    header.Bytes[0] = 200;
    EXPECT_EQ(header.Name(), std::string(63, 'A'));
    header.Bytes[0] = 0;
    EXPECT_EQ(header.Name(), "");
}

TEST(BlockHeader, NameIsCp1251InFlashAndUtf8Outside)
{
    BlockHeader header;
    header.Bytes.fill(0xEE);
    header.SetName("Табло 1");
    EXPECT_EQ(header.Bytes[0], 7);
    EXPECT_EQ(header.Bytes[1], 0xD2);   // "Т" in CP1251
    EXPECT_EQ(header.Bytes[8], 0xEE);   // the rest of the field keeps its bytes
    EXPECT_EQ(header.Name(), "Табло 1");
}

TEST(BlockHeader, LongNameIsCutTo63Characters)
{
    BlockHeader header;
    std::string name;
    for (int i = 0; i < 70; ++i) name += "Ж";
    header.SetName(name);
    EXPECT_EQ(header.Bytes[0], 63);
    std::string expected;
    for (int i = 0; i < 63; ++i) expected += "Ж";
    EXPECT_EQ(header.Name(), expected);
    EXPECT_EQ(header.Bytes[64], 0);   // the field's neighbour is untouched
}

TEST(BlockHeader, DescriptorsAreLittleEndianTriples)
{
    BlockHeader header;
    header.SetDescriptor(0, {0x0210, 0x2600, 0x8000});
    header.SetDescriptor(64, {0x1234, 0x0020, 0xFF00});
    EXPECT_EQ(std::vector<uint8_t>(header.Bytes.begin() + 128, header.Bytes.begin() + 134),
              (std::vector<uint8_t>{0x10, 0x02, 0x00, 0x26, 0x00, 0x80}));
    EXPECT_EQ(std::vector<uint8_t>(header.Bytes.begin() + 512, header.Bytes.end()),
              (std::vector<uint8_t>{0x34, 0x12, 0x20, 0x00, 0x00, 0xFF}));
    EXPECT_EQ(header.Descriptor(64), (SegmentDescriptor{0x1234, 0x0020, 0xFF00}));
    EXPECT_EQ(header.DataSize(), 0x2600u);
}

struct DescriptorCase {
    SegmentDescriptor descriptor;
    bool valid;
};
class DescriptorValidTest : public testing::TestWithParam<DescriptorCase> {};
TEST_P(DescriptorValidTest, Judges) { EXPECT_EQ(GetParam().descriptor.Valid(), GetParam().valid); }
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, DescriptorValidTest, testing::Values(
    DescriptorCase{{528, 1, 0}, true},
    DescriptorCase{{528, 0x8000, 0}, true},
    DescriptorCase{{528, 0, 0}, false},
    DescriptorCase{{528, 0x8001, 0}, false},
    DescriptorCase{{0xFFFF, 32, 0}, false},
    DescriptorCase{{0xFFFE, 32, 0}, true}));
// clang-format on
