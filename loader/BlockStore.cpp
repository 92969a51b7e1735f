#include "loader/BlockStore.h"

#include "serial/Serial.h"
#include "util/Cp1251.h"
#include "util/TextFormat.h"

#include <algorithm>

namespace {
constexpr uint32_t TopByteMask = 0xFF000000;
constexpr uint32_t AddressMask = 0x00FFFFFF;
constexpr int32_t ChecksummedBytes = 2110;
constexpr int32_t HeaderProgressDivisor = 32;

uint8_t TopByte(uint32_t value) { return static_cast<uint8_t>(value >> 24); }

uint32_t LittleEndian(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

std::array<uint8_t, 4> LittleEndianBytes(uint32_t value)
{
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void SetWord(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

// Offsets of every number the two copies must agree on, in the order they are checked.
std::vector<size_t> CheckedNumberOffsets()
{
    std::vector<size_t> offsets{ReservedEndOffset, LastReservedSlotOffset};
    for (int32_t k = 0; k < BlockCount; ++k) offsets.push_back(BlockSlotsOffset + 4 * static_cast<size_t>(k));
    for (int32_t j = 0; j < ReservedSlotCount; ++j) offsets.push_back(ReservedSlotsOffset + 4 * static_cast<size_t>(j));
    return offsets;
}

bool ChecksumMatches(const LoaderDirectory& copy)
{
    uint8_t sumA = 0, sumB = 0;
    Checksums(copy.Bytes.data(), ChecksummedBytes, sumA, sumB);
    return copy.Bytes[DirectorySumAOffset] == sumA && copy.Bytes[DirectorySumBOffset] == sumB;
}

bool IndexValid(int32_t index) { return index >= 0 && index < BlockCount; }

// The store turns anything thrown inside an operation into a failed operation.
template <typename Operation> bool Guarded(Operation operation)
{
    try {
        return operation();
    } catch (...) {
        return false;
    }
}

// Writes the slot value and reads it back: the read-back decides.
bool WriteSlot(TLoaderLink& link, int32_t index, uint32_t value)
{
    auto bytes = LittleEndianBytes(value);
    if (!link.WriteFlash(SlotAddress(index), 4, bytes.data())) return false;
    std::array<uint8_t, 4> readBack{};
    if (!link.ReadFlashPaged(SlotAddress(index), 4, readBack.data())) return false;
    return readBack == bytes;
}
}   // namespace

uint32_t LoaderDirectory::Number(size_t offset) const
{
    if (offset + 4 > Bytes.size()) return 0;
    return LittleEndian(Bytes.data() + offset);
}

void LoaderDirectory::SetNumber(size_t offset, uint32_t value)
{
    if (offset + 4 > Bytes.size()) return;
    auto bytes = LittleEndianBytes(value);
    std::copy(bytes.begin(), bytes.end(), Bytes.begin() + static_cast<ptrdiff_t>(offset));
}

std::string BlockHeader::Name() const
{
    size_t length = std::min<size_t>(Bytes[0], MaxBlockNameLength);
    return Cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(Bytes.data() + 1), length));
}

void BlockHeader::SetName(std::string_view utf8)
{
    std::string cp1251 = Utf8ToCp1251(utf8);
    if (cp1251.size() > MaxBlockNameLength) cp1251.resize(MaxBlockNameLength);
    Bytes[0] = static_cast<uint8_t>(cp1251.size());
    std::copy(cp1251.begin(), cp1251.end(), Bytes.begin() + 1);
}

SegmentDescriptor BlockHeader::Descriptor(int32_t index) const
{
    if (index < 0 || index >= DescriptorCount) return {NoSegmentOffset, 0, 0};
    const uint8_t* p = Bytes.data() + DescriptorsOffset + 6 * static_cast<size_t>(index);
    return {Word(p), Word(p + 2), Word(p + 4)};
}

void BlockHeader::SetDescriptor(int32_t index, const SegmentDescriptor& descriptor)
{
    if (index < 0 || index >= DescriptorCount) return;
    uint8_t* p = Bytes.data() + DescriptorsOffset + 6 * static_cast<size_t>(index);
    SetWord(p, descriptor.Offset);
    SetWord(p + 2, descriptor.Size);
    SetWord(p + 4, descriptor.Address);
}

BlockHeader HeaderOf(const TBlockImage& image)
{
    BlockHeader header;
    std::copy_n(image.begin(), BlockHeaderSize, header.Bytes.begin());
    return header;
}

std::vector<SegmentDescriptor> SegmentsToWrite(const BlockHeader& header)
{
    std::vector<SegmentDescriptor> segments;
    if (header.Descriptor(0).Valid()) segments.push_back(header.Descriptor(0));
    for (int32_t i = 1; i < DescriptorCount && header.Descriptor(i).Valid(); ++i)
        segments.push_back(header.Descriptor(i));
    return segments;
}

bool ImageFitsBlockArea(const TBlockImage& image)
{
    auto segments = SegmentsToWrite(HeaderOf(image));
    return std::all_of(segments.begin(), segments.end(), [](const auto& s) { return s.FitsBlockArea(); });
}

void BuildDirectory(LoaderDirectory& reference)
{
    reference.Bytes.fill(0xFF);
    reference.SetNumber(SignatureOffset, DirectorySignature);
    reference.SetNumber(ReservedEndOffset, ReservedAreasEnd);
    uint32_t area = BlockAreaStart;
    for (int32_t k = 0; k < BlockCount; ++k, area += BlockAreaSize)
        reference.SetNumber(BlockSlotsOffset + 4 * static_cast<size_t>(k), area);
    for (int32_t j = 0; j < ReservedSlotCount; ++j, area += BlockAreaSize)
        reference.SetNumber(ReservedSlotsOffset + 4 * static_cast<size_t>(j), area);
    reference.SetNumber(LastReservedSlotOffset, area);
    Checksums(reference.Bytes.data(), ChecksummedBytes, reference.Bytes[DirectorySumAOffset],
              reference.Bytes[DirectorySumBOffset]);
}

void MakePrimaryCopy(LoaderDirectory& primary, const LoaderDirectory& reference)
{
    primary = reference;
    primary.Bytes[DirectorySumAOffset] = 0;
    primary.Bytes[DirectorySumBOffset] = 0;
    for (size_t offset : CheckedNumberOffsets()) primary.SetNumber(offset, primary.Number(offset) | TopByteMask);
}

bool SlotMatches(uint32_t primary, uint32_t reference)
{
    uint8_t mark = TopByte(primary);
    return TopByte(reference) == 0 && (mark == SlotHoldsData || mark == SlotEmpty) &&
           (primary & AddressMask) == (reference & AddressMask);
}

uint32_t SlotAddress(int32_t index) { return static_cast<uint32_t>(BlockSlotsOffset + 4 * static_cast<size_t>(index)); }

namespace {
TProblem Damaged() { return TProblem(TProblemKind::Damaged, "Данные в загрузчике повреждены!"); }
}   // namespace

TMaybeProblem CheckDirectory(const LoaderDirectory& primary, const LoaderDirectory& reference)
{
    if (primary.Signature() != DirectorySignature || reference.Signature() != DirectorySignature)
        return TProblem(TProblemKind::Unformatted, "Загрузчик не форматирован!");
    if (!ChecksumMatches(reference)) return Damaged();
    for (size_t offset : CheckedNumberOffsets())
        if (!SlotMatches(primary.Number(offset), reference.Number(offset))) return Damaged();
    // Copies that agree can still send a block elsewhere than its own area, over a directory copy
    // or another block, and a write there would destroy them. Only the layout's areas are written
    // by a format, so any other address is damage.
    for (int32_t k = 0; k < BlockCount; ++k)
        if ((reference.BlockSlot(k) & AddressMask) != BlockAreaStart + BlockAreaSize * static_cast<uint32_t>(k))
            return Damaged();
    if (primary.Bytes[DirectorySumAOffset] != 0 || primary.Bytes[DirectorySumBOffset] != 0) return Damaged();
    return std::nullopt;
}

bool ReadDirectory(TLoaderLink& link, TMaybeProblem& check, LoaderDirectory* primary, LoaderDirectory* reference)
{
    check.reset();
    LoaderDirectory first, second;
    if (!link.ReadFlash(PrimaryDirectoryAddress, DirectorySize, first.Bytes.data())) return false;
    if (primary) *primary = first;
    if (!link.ReadFlash(ReferenceDirectoryAddress, DirectorySize, second.Bytes.data())) return false;
    if (reference) *reference = second;
    check = CheckDirectory(first, second);
    return true;
}

bool FormatLoader(TLoaderLink& link)
{
    LoaderDirectory reference, primary;
    BuildDirectory(reference);
    MakePrimaryCopy(primary, reference);
    if (!link.WriteFlash(PrimaryDirectoryAddress, DirectorySize, primary.Bytes.data())) return false;
    if (!link.WriteFlash(ReferenceDirectoryAddress, DirectorySize, reference.Bytes.data())) return false;
    TMaybeProblem check;
    return ReadDirectory(link, check) && !check;
}

bool ReadBlockHeader(TLoaderLink& link, int32_t index, BlockInfo& info, const LoaderDirectory& primary)
{
    return Guarded([&] {
        info = BlockInfo{};
        if (!IndexValid(index)) return false;
        uint32_t address = primary.BlockSlot(index);
        info.Empty = TopByte(address) != SlotHoldsData;
        if (info.IsEmpty()) return true;
        if (!link.ReadFlash(address, BlockHeaderSize, info.Header.Bytes.data())) return false;
        info.Empty = info.Header.Descriptor(0).Size == 0 && info.Header.Descriptor(1).Size == 0;
        return true;
    });
}

bool ReadBlockHeaders(TLoaderLink& link, BlockList& infos, const LoaderDirectory& primary,
                      const FlashProgress& progress)
{
    for (int32_t index = 0; index < BlockCount; ++index) {
        if (!ReadBlockHeader(link, index, infos[static_cast<size_t>(index)], primary)) return false;
        if (progress) progress({PercentHalfEven(index + 1, HeaderProgressDivisor), 0, 0});
    }
    return true;
}

bool EraseBlock(TLoaderLink& link, int32_t index, const LoaderDirectory& primary)
{
    return Guarded([&] {
        if (!IndexValid(index)) return false;
        return WriteSlot(link, index, primary.BlockSlot(index) | TopByteMask);
    });
}

bool WriteBlock(TLoaderLink& link, const TBlockImage& image, int32_t index, const LoaderDirectory& primary,
                const FlashProgress& progress)
{
    return Guarded([&] {
        if (!IndexValid(index) || !ImageFitsBlockArea(image)) return false;
        uint32_t base = primary.BlockSlot(index) & AddressMask;
        auto segments = SegmentsToWrite(HeaderOf(image));
        int64_t whole = BlockHeaderSize, before = 0;
        for (const SegmentDescriptor& segment : segments) whole += segment.Size;
        // The gauge runs once per part; the bytes count the whole block.
        FlashProgress part;
        if (progress) part = [&](const TProgress& p) { progress({p.Percent, before + p.Done, whole}); };
        for (const SegmentDescriptor& segment : segments) {
            if (!link.WriteFlash(base + segment.Offset, segment.Size, image.data() + segment.Offset, part))
                return false;
            before += segment.Size;
        }
        if (!link.WriteFlash(base, BlockHeaderSize, image.data(), part)) return false;
        return WriteSlot(link, index, base);
    });
}

bool ReadBlockImage(TLoaderLink& link, const BlockHeader& header, uint32_t slot, TBlockImage& image)
{
    return Guarded([&] {
        image.fill(0xFF);
        std::copy(header.Bytes.begin(), header.Bytes.end(), image.begin());
        uint32_t base = slot & AddressMask;
        for (const SegmentDescriptor& s : SegmentsToWrite(header))
            if (s.FitsBlockArea() && !link.ReadFlash(base + s.Offset, s.Size, image.data() + s.Offset)) return false;
        return true;
    });
}
