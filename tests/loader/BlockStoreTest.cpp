// The data-block store against the simulated loader's flash: formatting, reading the directory
// and headers, erasing, and writing a block in the order that keeps the store consistent.
#include "loader/BlockStore.h"
#include "fonts/FontFile.h"
#include "loader/BlockImage.h"
#include "tests/loader/ExpectedDirectory.h"
#include "tests/loader/LoaderFixture.h"

#include <algorithm>
#include <memory>
#include <thread>
#include <tuple>

namespace {
constexpr uint32_t ReferenceAddress = 2160576;

uint32_t AreaOf(int32_t index) { return 3696 + 33792 * static_cast<uint32_t>(index); }

std::vector<uint8_t> LittleEndian(uint32_t value)
{
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

// An image with three valid segments and an end marker, each segment filled with its own pattern
// and a gap before the third, so that the wire shows where one segment ends.
std::unique_ptr<TBlockImage> ThreeSegmentImage(const char* name)
{
    auto image = std::make_unique<TBlockImage>();
    image->fill(0xFF);
    BlockHeader header;
    header.Bytes.fill(0xFF);
    header.Bytes[0] = 0;
    header.SetName(name);
    header.SetDescriptor(0, {528, 1000, 0x8000});
    header.SetDescriptor(1, {2000, 100, 0xA600});
    header.SetDescriptor(2, {2200, 32, 0xFF00});
    std::copy(header.Bytes.begin(), header.Bytes.end(), image->begin());
    for (size_t i = 528; i < 1528; ++i) (*image)[i] = static_cast<uint8_t>(i * 3);
    for (size_t i = 2000; i < 2100; ++i) (*image)[i] = static_cast<uint8_t>(i * 5 + 1);
    for (size_t i = 2200; i < 2232; ++i) (*image)[i] = static_cast<uint8_t>(i * 7 + 2);
    return image;
}

// Consecutive write requests to adjacent addresses, joined into the ranges they wrote.
struct WrittenRange {
    uint32_t Address, Count;
    bool operator==(const WrittenRange&) const = default;
};
std::ostream& operator<<(std::ostream& os, const WrittenRange& r)
{
    return os << "{" << r.Address << ", " << r.Count << "}";
}
}   // namespace

class BlockStoreTest : public LoaderFixture {
protected:
    void Format()
    {
        ASSERT_TRUE(link->ConnectLoader(6));
        ASSERT_TRUE(FormatLoader(*link));
        Reread();
    }
    // The primary copy in memory is not changed by erase and write: read it again.
    void Reread()
    {
        TMaybeProblem status;
        ASSERT_TRUE(ReadDirectory(*link, status, &directory));
        ASSERT_FALSE(status) << ReasonOf(status);
    }
    BlockList ReadBlocks()
    {
        BlockList blocks{};
        EXPECT_TRUE(ReadBlockHeaders(*link, blocks, directory));
        return blocks;
    }
    std::vector<WrittenRange> WrittenRanges() const
    {
        std::vector<WrittenRange> ranges;
        for (const WireRecord& r : Requests(0xA6)) {
            uint32_t address = FlashAddress(r), count = static_cast<uint32_t>(r.Payload.size() - 5);
            if (!ranges.empty() && ranges.back().Address + ranges.back().Count == address) ranges.back().Count += count;
            else ranges.push_back({address, count});
        }
        return ranges;
    }
    void SetSlotMark(int32_t index, uint8_t mark) { sim->WriteFlashBytes(SlotAddress(index) + 3, {mark}); }

    LoaderDirectory directory;
};

TEST_F(BlockStoreTest, FormatWritesBothCopiesExactly)
{
    TMaybeProblem status;
    ASSERT_TRUE(link->ConnectLoader(6));
    ASSERT_TRUE(ReadDirectory(*link, status));
    EXPECT_EQ(ProblemKindOf(status), TProblemKind::Unformatted);   // fresh flash

    ASSERT_TRUE(FormatLoader(*link));
    DirectoryBytes primary = ExpectedPrimaryCopy(), reference = ExpectedReferenceCopy();
    EXPECT_EQ(Flash(0, 2112), std::vector<uint8_t>(primary.begin(), primary.end()));
    EXPECT_EQ(Flash(ReferenceAddress, 2112), std::vector<uint8_t>(reference.begin(), reference.end()));

    LoaderDirectory read, readReference;
    ASSERT_TRUE(ReadDirectory(*link, status, &read, &readReference));
    EXPECT_FALSE(status) << ReasonOf(status);
    for (int32_t k = 0; k < BlockCount; ++k) EXPECT_EQ(read.BlockSlot(k), 0xFF000000u | AreaOf(k)) << k;
    EXPECT_EQ(read.BlockSlot(0), 0xFF000E70u);
    EXPECT_EQ(read.BlockSlot(7), 0xFF03AA70u);
    EXPECT_EQ(readReference.Bytes, reference);
}

struct FlashStateCase {
    const char* name;
    uint32_t address;
    std::vector<uint8_t> bytes;
    std::optional<TProblemKind> status;
};
class DirectoryStatusTest : public BlockStoreTest, public testing::WithParamInterface<FlashStateCase> {};
TEST_P(DirectoryStatusTest, ReadsTheStatus)
{
    Format();
    sim->WriteFlashBytes(GetParam().address, GetParam().bytes);
    TMaybeProblem status;
    ASSERT_TRUE(ReadDirectory(*link, status));
    EXPECT_EQ(ProblemKindOf(status), GetParam().status);
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, DirectoryStatusTest, testing::Values(
    FlashStateCase{"Valid", 100, {0xFF}, std::nullopt},
    FlashStateCase{"PrimaryWithoutSignature", 0, {0xFF, 0xFF, 0xFF, 0xFF}, TProblemKind::Unformatted},
    FlashStateCase{"ReferenceWithoutSignature", ReferenceAddress + 2, {0x00}, TProblemKind::Unformatted},
    FlashStateCase{"ReferenceChecksumWrong", ReferenceAddress + 700, {0x00}, TProblemKind::Damaged},
    FlashStateCase{"SlotMarkNeitherFullNorEmpty", 528 + 4 * 2 + 3, {0x7F}, TProblemKind::Damaged},
    FlashStateCase{"SlotMarkedFull", 528 + 4 * 2 + 3, {0x00}, std::nullopt},
    FlashStateCase{"PrimaryCheckBytesSet", 2110, {0x00, 0x01}, TProblemKind::Damaged}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(BlockStoreTest, FreshStoreListsEightEmptyBlocksWithoutReadingTheirAreas)
{
    Format();
    sim->ClearWireLog();
    BlockList blocks{};
    std::vector<int32_t> progress;
    ASSERT_TRUE(ReadBlockHeaders(*link, blocks, directory, [&](const TProgress& p) { progress.push_back(p.Percent); }));
    for (const BlockInfo& block : blocks) EXPECT_TRUE(block.IsEmpty());
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(progress, (std::vector<int32_t>{3, 6, 9, 12, 16, 19, 22, 25}));
}

TEST_F(BlockStoreTest, MarkedBlockWithoutSegmentsReadsEmpty)
{
    Format();
    BlockHeader header;
    header.Bytes.fill(0xFF);
    header.SetName("x");
    header.SetDescriptor(0, {528, 0, 0});
    header.SetDescriptor(1, {528, 0, 0});
    sim->WriteFlashBytes(AreaOf(4), std::vector<uint8_t>(header.Bytes.begin(), header.Bytes.end()));
    SetSlotMark(4, 0x00);
    directory.Bytes[SlotAddress(4) + 3] = 0x00;
    BlockList blocks = ReadBlocks();
    EXPECT_TRUE(blocks[4].IsEmpty());
    EXPECT_EQ(blocks[4].Header.Name(), "x");
}

TEST_F(BlockStoreTest, WriteSendsSegmentsThenHeaderThenSlot)
{
    Format();
    auto image = ThreeSegmentImage("Три");
    sim->ClearWireLog();
    std::vector<TProgress> progress;
    ASSERT_TRUE(WriteBlock(*link, *image, 2, directory, [&](const TProgress& p) { progress.push_back(p); }));

    // The gauge runs once per segment and once for the header; the bytes count the whole block.
    ASSERT_FALSE(progress.empty());
    for (size_t i = 0; i < progress.size(); ++i) {
        EXPECT_EQ(progress[i].Total, 1000 + 100 + 32 + 518);
        if (i > 0) {
            EXPECT_GE(progress[i].Done, progress[i - 1].Done);
        }
    }
    EXPECT_EQ(progress.back().Done, progress.back().Total);

    uint32_t base = AreaOf(2);
    EXPECT_EQ(WrittenRanges(), (std::vector<WrittenRange>{
                                   {base + 528, 1000}, {base + 2000, 100}, {base + 2200, 32}, {base, 518}, {536, 4}}));
    auto readBacks = Requests(0xA5);
    ASSERT_EQ(readBacks.size(), 1u);
    EXPECT_EQ(FlashAddress(readBacks[0]), 536u);
    EXPECT_EQ(Requests().back().Command(), 0xA5);

    EXPECT_EQ(Flash(SlotAddress(2), 4), LittleEndian(base));
    EXPECT_EQ(Flash(base + 528, 1000), std::vector<uint8_t>(image->begin() + 528, image->begin() + 1528));
    EXPECT_EQ(Flash(base, 518), std::vector<uint8_t>(image->begin(), image->begin() + 518));
    EXPECT_EQ(Flash(base + 2000, 232), std::vector<uint8_t>(image->begin() + 2000, image->begin() + 2232));
    EXPECT_EQ(Flash(base + 518, 10), std::vector<uint8_t>(10, 0xFF));   // not covered: not written
    EXPECT_EQ(Flash(base + 1528, 472), std::vector<uint8_t>(472, 0xFF));
    auto percentIs = [](int32_t percent) { return [percent](const TProgress& p) { return p.Percent == percent; }; };
    EXPECT_EQ(std::count_if(progress.begin(), progress.end(), percentIs(0)), 4);   // three segments and the header
    EXPECT_EQ(std::count_if(progress.begin(), progress.end(), percentIs(100)), 4);

    Reread();
    BlockList blocks = ReadBlocks();
    EXPECT_FALSE(blocks[2].IsEmpty());
    EXPECT_EQ(blocks[2].Header.Name(), "Три");
    EXPECT_EQ(blocks[2].Header.DataSize(), 1100u);
}

TEST_F(BlockStoreTest, ImageWithoutFontsWritesTheFirmwareAndTheHeaderOnly)
{
    Format();
    auto fonts = std::make_unique<TFontSet>();
    auto image = std::make_unique<TBlockImage>();
    ASSERT_TRUE(BuildBlockImage(*fonts, *image));
    sim->ClearWireLog();
    ASSERT_TRUE(WriteBlock(*link, *image, 0, directory));
    uint32_t base = AreaOf(0);
    EXPECT_EQ(WrittenRanges(), (std::vector<WrittenRange>{{base + 528, 9728}, {base, 518}, {528, 4}}));
}

TEST_F(BlockStoreTest, SlotReadBackDecides)
{
    Format();
    auto image = ThreeSegmentImage("a");
    sim->AddFault({0xA5, 1, -1, FaultKind::ZeroData});
    EXPECT_FALSE(WriteBlock(*link, *image, 1, directory));
    EXPECT_FALSE(EraseBlock(*link, 1, directory));
}

struct SegmentFailureCase {
    const char* name;
    uint8_t previousMark;
    int failingWrite;   // which write request fails: 1 is the first chunk of segment 0
};
class WriteFailureTest : public BlockStoreTest, public testing::WithParamInterface<SegmentFailureCase> {};
TEST_P(WriteFailureTest, LeavesThePreviousSlotMark)
{
    Format();
    SetSlotMark(3, GetParam().previousMark);
    directory.Bytes[SlotAddress(3) + 3] = GetParam().previousMark;
    std::vector<uint8_t> slotBefore = Flash(SlotAddress(3), 4);
    auto image = ThreeSegmentImage("b");
    sim->ClearWireLog();
    sim->AddFault({0xA6, GetParam().failingWrite, 1, FaultKind::WrongCase});
    EXPECT_FALSE(WriteBlock(*link, *image, 3, directory));
    EXPECT_EQ(Flash(SlotAddress(3), 4), slotBefore);
    EXPECT_EQ(Requests(0xA6).size(), static_cast<size_t>(GetParam().failingWrite));
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, WriteFailureTest, testing::Values(
    SegmentFailureCase{"FirstChunkOfEmptyBlock", 0xFF, 1},
    SegmentFailureCase{"SecondSegmentOfEmptyBlock", 0xFF, 34},
    SegmentFailureCase{"SecondSegmentOfFullBlock", 0x00, 34}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct OutsideCase {
    const char* name;
    SegmentDescriptor segment;
    bool fits;
};
class BlockAreaTest : public BlockStoreTest, public testing::WithParamInterface<OutsideCase> {};
TEST_P(BlockAreaTest, SegmentsOutsideTheBlockAreaAreRefusedBeforeWriting)
{
    auto image = ThreeSegmentImage("c");
    BlockHeader header = HeaderOf(*image);
    header.SetDescriptor(1, GetParam().segment);
    std::copy(header.Bytes.begin(), header.Bytes.end(), image->begin());
    EXPECT_EQ(ImageFitsBlockArea(*image), GetParam().fits);
    if (GetParam().fits) return;
    Format();
    sim->ClearWireLog();
    EXPECT_FALSE(WriteBlock(*link, *image, 0, directory));
    EXPECT_TRUE(Requests().empty());
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, BlockAreaTest, testing::Values(
    OutsideCase{"EndsAtTheAreaEnd", {33760, 32, 0}, true},
    OutsideCase{"EndsOneByteLater", {33761, 32, 0}, false},
    OutsideCase{"LargestSizeFarOut", {0xFFF0, 0x8000, 0}, false}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(BlockStoreTest, EraseMarksTheSlotOnlyAndLeavesTheArea)
{
    Format();
    auto image = ThreeSegmentImage("d");
    ASSERT_TRUE(WriteBlock(*link, *image, 5, directory));
    std::vector<uint8_t> area = Flash(AreaOf(5), 2200);
    sim->ClearWireLog();
    ASSERT_TRUE(EraseBlock(*link, 5, directory));
    EXPECT_EQ(WrittenRanges(), (std::vector<WrittenRange>{{548, 4}}));
    EXPECT_EQ(Flash(SlotAddress(5), 4), LittleEndian(0xFF000000u | AreaOf(5)));
    EXPECT_EQ(Flash(AreaOf(5), 2200), area);
    Reread();
    EXPECT_TRUE(ReadBlocks()[5].IsEmpty());
}

TEST_F(BlockStoreTest, BlockOperationsRefuseIndexesOutsideTheStore)
{
    Format();
    auto image = ThreeSegmentImage("e");
    BlockInfo info;
    sim->ClearWireLog();
    EXPECT_FALSE(EraseBlock(*link, 8, directory));
    EXPECT_FALSE(WriteBlock(*link, *image, -1, directory));
    EXPECT_FALSE(ReadBlockHeader(*link, 8, info, directory));
    EXPECT_TRUE(Requests().empty());
}

TEST_F(BlockStoreTest, HangUpDuringAWriteLeavesTheStoreAsItWas)
{
    Format();
    auto first = ThreeSegmentImage("первый");
    ASSERT_TRUE(WriteBlock(*link, *first, 0, directory));
    Reread();
    BlockList before = ReadBlocks();
    ASSERT_FALSE(before[0].IsEmpty());

    auto second = ThreeSegmentImage("второй");
    sim->ClearWireLog();
    sim->AddFault({0xA6, 20, 1, FaultKind::HangUp});
    ShortReplyTimeouts();   // the request that finds the line gone waits for nothing
    EXPECT_FALSE(WriteBlock(*link, *second, 6, directory));
    NormalReplyTimeouts();

    ASSERT_TRUE(sim->Reconnect());
    OpenOnSim();
    ASSERT_TRUE(link->ConnectLoader(6));
    TMaybeProblem status;
    LoaderDirectory after;
    ASSERT_TRUE(ReadDirectory(*link, status, &after));
    EXPECT_FALSE(status) << ReasonOf(status);
    EXPECT_EQ(after.Bytes, directory.Bytes);
    BlockList blocks{};
    ASSERT_TRUE(ReadBlockHeaders(*link, blocks, after));
    for (int32_t k = 0; k < BlockCount; ++k) {
        EXPECT_EQ(blocks[k].Empty, before[k].Empty) << k;
        EXPECT_EQ(blocks[k].Header.Bytes, before[k].Header.Bytes) << k;
    }
}

// A second board on a line of its own: its link reads its loader while this fixture's link reads
// this one, and neither sees the other's clock or directory.
TEST_F(BlockStoreTest, TwoLinksReadTheirOwnLoadersAtOnce)
{
    Format();   // the other loader's flash stays fresh
    TBoardSim otherSim;
    ASSERT_TRUE(otherSim.Start());
    TLoaderLink other(otherSim.SlavePath());
    TRecordingView otherView;
    other.OpenLoaderPort(otherView);
    ASSERT_FALSE(other.LastFailure()) << PortErrorDetails(other.PortName(), other.LastFailure());
    sim->SetClock(2021, 3, 4, 5, 6, 7);
    otherSim.SetClock(2022, 8, 9, 10, 11, 12);
    sim->ClearWireLog();

    struct Reading {
        bool Ok = false;
        TSystemTime Time;
        TMaybeProblem Status;
        LoaderDirectory Directory;
    };
    auto read = [](TLoaderLink& l, Reading& r) {
        r.Ok = l.ConnectLoader(6) && l.ReadLoaderClock(r.Time) && ReadDirectory(l, r.Status, &r.Directory);
    };
    Reading mine, theirs;
    std::thread reader([&] { read(other, theirs); });
    read(*link, mine);
    reader.join();
    other.CloseLoaderPort();

    ASSERT_TRUE(mine.Ok);
    ASSERT_TRUE(theirs.Ok);
    // The clocks run with the ticks: the minutes may have moved on, the hour not.
    EXPECT_EQ(std::tie(mine.Time.Year, mine.Time.Month, mine.Time.Day, mine.Time.Hour),
              std::make_tuple(uint16_t{2021}, uint16_t{3}, uint16_t{4}, uint16_t{5}));
    EXPECT_EQ(std::tie(theirs.Time.Year, theirs.Time.Month, theirs.Time.Day, theirs.Time.Hour),
              std::make_tuple(uint16_t{2022}, uint16_t{8}, uint16_t{9}, uint16_t{10}));
    EXPECT_FALSE(mine.Status) << ReasonOf(mine.Status);
    EXPECT_EQ(mine.Directory.Bytes, directory.Bytes);
    EXPECT_EQ(ProblemKindOf(theirs.Status), TProblemKind::Unformatted);
    // Each loader heard one whole reading, the same requests in the same order.
    std::vector<uint8_t> mineHeard, theirsHeard;
    for (const WireRecord& r : Requests()) mineHeard.push_back(r.Command());
    for (const WireRecord& r : otherSim.WireLog())
        if (r.FromProgram && !r.Raw) theirsHeard.push_back(r.Command());
    EXPECT_EQ(theirsHeard, mineHeard);
    EXPECT_EQ(mineHeard.size(), 2u + 1 + 2 * 66);
}
