// The loader's store of eight data blocks: the directory with its primary and reference copies,
// the block headers, and formatting, erasing and writing blocks over the flash requests.
//
// All records are byte arrays of the flash's own layout; numbers inside them are little-endian
// and are read and written through accessors, whatever the host's byte order. Whatever comes from
// the loader's flash is untrusted: accessors never read past their record.
#pragma once

#include "loader/LoaderLink.h"
#include "util/Problem.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr uint32_t DirectorySize = 2112;   // four flash pages
constexpr uint32_t PrimaryDirectoryAddress = 0;
constexpr uint32_t ReferenceDirectoryAddress = 2160576;   // page 4092
constexpr uint32_t DirectorySignature = 0x2555AA07;
constexpr uint32_t ReservedAreasEnd = 1389168;
constexpr uint32_t BlockAreaStart = 3696;   // page 7
constexpr uint32_t BlockAreaSize = 33792;   // 64 pages
constexpr int32_t BlockCount = 8;
constexpr int32_t ReservedSlotCount = 32;

// Offsets inside a directory copy.
constexpr size_t SignatureOffset = 0;
constexpr size_t ReservedEndOffset = 4;
constexpr size_t BlockSlotsOffset = 528;
constexpr size_t ReservedSlotsOffset = 1056;
constexpr size_t LastReservedSlotOffset = 1584;
constexpr size_t DirectorySumAOffset = 2110;
constexpr size_t DirectorySumBOffset = 2111;

// Slot marks: the top byte of a block slot in the primary copy.
constexpr uint8_t SlotHoldsData = 0x00;
constexpr uint8_t SlotEmpty = 0xFF;

struct LoaderDirectory {
    std::array<uint8_t, DirectorySize> Bytes{};

    uint32_t Number(size_t offset) const;
    void SetNumber(size_t offset, uint32_t value);
    uint32_t Signature() const { return Number(SignatureOffset); }
    uint32_t BlockSlot(int32_t index) const { return Number(BlockSlotsOffset + 4 * static_cast<size_t>(index)); }
    uint32_t ReservedSlot(int32_t index) const { return Number(ReservedSlotsOffset + 4 * static_cast<size_t>(index)); }
};

constexpr int32_t BlockHeaderSize = 518;
constexpr int32_t BlockNameFieldSize = 64;
constexpr int32_t MaxBlockNameLength = 63;
constexpr int32_t DescriptorCount = 65;   // descriptor 0 and descriptors 1..64
constexpr size_t DescriptorsOffset = 128;
constexpr uint16_t MaxSegmentSize = 0x8000;
constexpr uint16_t NoSegmentOffset = 0xFFFF;

// Offset and size within the block image (and the block area), and the board address.
struct SegmentDescriptor {
    uint16_t Offset = 0;
    uint16_t Size = 0;
    uint16_t Address = 0;
    bool Valid() const { return Size >= 1 && Size <= MaxSegmentSize && Offset != NoSegmentOffset; }
    bool FitsBlockArea() const { return static_cast<uint32_t>(Offset) + Size <= BlockAreaSize; }
    bool operator==(const SegmentDescriptor&) const = default;
};

// The first 518 bytes of a block area, and of a block image.
struct BlockHeader {
    std::array<uint8_t, BlockHeaderSize> Bytes{};

    // The name in UTF-8; a length byte above 63 is taken as 63.
    std::string Name() const;
    // Stores the name in CP1251, cut to 63 bytes; the rest of the name field keeps its bytes.
    void SetName(std::string_view utf8);
    SegmentDescriptor Descriptor(int32_t index) const;   // 0..64
    void SetDescriptor(int32_t index, const SegmentDescriptor& descriptor);
    // What the block list shows as the block's size: segments 0 and 1 as their descriptors say.
    uint32_t DataSize() const { return uint32_t{Descriptor(0).Size} + Descriptor(1).Size; }
};

struct BlockInfo {
    BlockHeader Header;
    uint8_t Empty = 0;   // 1: the block is empty
    bool IsEmpty() const { return Empty != 0; }
};
static_assert(sizeof(BlockInfo) == BlockHeaderSize + 1);

using BlockList = std::array<BlockInfo, BlockCount>;

constexpr int32_t BlockImageSize = 65536;
using TBlockImage = std::array<uint8_t, BlockImageSize>;

BlockHeader HeaderOf(const TBlockImage& image);
// The segments WriteBlock writes: descriptor 0 when valid, then descriptors 1..64 up to the
// first invalid one.
std::vector<SegmentDescriptor> SegmentsToWrite(const BlockHeader& header);
// True when every segment WriteBlock would write lies inside the block area.
bool ImageFitsBlockArea(const TBlockImage& image);

// The operations below act on the loader of `link`.
// Reads both copies; false when the link failed, else `check` tells whether they agree
// (CheckDirectory). The primary copy is handed out as soon as it has been read.
bool ReadDirectory(TLoaderLink& link, TMaybeProblem& check, LoaderDirectory* primary = nullptr,
                   LoaderDirectory* reference = nullptr);
// Empty when the copies make a valid directory; else Unformatted ("Загрузчик не форматирован!")
// or Damaged ("Данные в загрузчике повреждены!").
TMaybeProblem CheckDirectory(const LoaderDirectory& primary, const LoaderDirectory& reference);
// Writes a fresh directory (all blocks empty) and reads it back; true when it reads valid.
bool FormatLoader(TLoaderLink& link);
bool ReadBlockHeader(TLoaderLink& link, int32_t index, BlockInfo& info, const LoaderDirectory& primary);
bool ReadBlockHeaders(TLoaderLink& link, BlockList& infos, const LoaderDirectory& primary,
                      const FlashProgress& progress = {});
// Marks block `index` empty in the loader's primary copy; `primary` is not changed.
bool EraseBlock(TLoaderLink& link, int32_t index, const LoaderDirectory& primary);
// Writes the image's segments, then its header, then marks the slot; the slot read back decides.
// An image with a segment outside the block area is refused before anything is written.
bool WriteBlock(TLoaderLink& link, const TBlockImage& image, int32_t index, const LoaderDirectory& primary,
                const FlashProgress& progress = {});
// Reads a stored block back as WriteBlock wrote it: `header` (already read) and the segments it
// describes that lie inside the block area, at their offsets; every other byte is 0xFF. `slot`
// is the block's slot in the primary copy.
bool ReadBlockImage(TLoaderLink& link, const BlockHeader& header, uint32_t slot, TBlockImage& image);
void BuildDirectory(LoaderDirectory& reference);
void MakePrimaryCopy(LoaderDirectory& primary, const LoaderDirectory& reference);
bool SlotMatches(uint32_t primary, uint32_t reference);
uint32_t SlotAddress(int32_t index);
