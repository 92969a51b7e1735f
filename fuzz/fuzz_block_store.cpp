// The block store over an in-memory flash: the simulator's loader answers the link's requests
// exactly as they would go out on the line. The input sets up the flash (formatted or not, then
// bytes changed anywhere in the directories or block headers) and runs a sequence of store
// operations, any of them with the link lost after some exchange. Checked after each:
// - the directory check agrees with the check worked out from the layout;
// - block headers, names, sizes and empty marks read as the flash holds them;
// - every flash write of a block write lies inside that block's area or its slot, a block only
//   becomes marked full after all its data and its header are written, and a full block dumps
//   back as written; an image that does not fit its area writes nothing;
// - an erase writes only the block's slot, a format only the two directory copies.
#include "fuzz/FuzzSupport.h"
#include "loader/BlockStore.h"
#include "serial/Serial.h"
#include "sim/SimLoader.h"
#include "util/Cp1251.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace {
struct TRange {
    uint32_t Begin = 0, End = 0;
    bool Holds(uint32_t begin, uint32_t end) const { return begin >= Begin && end <= End; }
};

// A loader link whose requests reach a simulated loader in memory; it keeps the flash writes it
// sent and can lose the link after a number of exchanges.
class TMemoryLink : public TLoaderLink {
public:
    std::unique_ptr<sim::TSimLoader> Loader;
    std::vector<TRange> Writes;
    int32_t ExchangesLeft = -1;   // -1: the link holds

    // Erased flash again; only what the last input changed is erased, a fresh 2 MiB each time
    // would set the pace.
    void Reset()
    {
        if (!Loader) Loader = std::make_unique<sim::TSimLoader>();
        for (const TRange& r : Writes) Erase(r);
        for (const TRange& r : Changed) Erase(r);
        Writes.clear();
        Changed.clear();
        ExchangesLeft = -1;
    }

    // Changes flash bytes behind the link's back.
    void Change(uint32_t address, const std::vector<uint8_t>& bytes)
    {
        Loader->Flash().WriteLinear(address, bytes);
        Changed.push_back({address, address + static_cast<uint32_t>(bytes.size())});
    }

    // Empty past the end of the flash.
    std::vector<uint8_t> Flash(uint32_t address, uint32_t count) const
    {
        std::vector<uint8_t> bytes;
        if (!Loader->Flash().ReadLinear(address, count, bytes)) bytes.clear();
        return bytes;
    }

protected:
    std::vector<TRange> Changed;

    void Erase(const TRange& r) { Loader->Flash().WriteLinear(r.Begin, std::vector<uint8_t>(r.End - r.Begin, 0xFF)); }

    bool Exchange(const std::vector<uint8_t>& request, uint8_t* reply, int32_t maximum, int32_t& received) override
    {
        received = 0;
        if (ExchangesLeft == 0) return false;
        if (ExchangesLeft > 0) --ExchangesLeft;
        if (request.size() >= 5 && request[0] == 0xA6) {
            uint32_t address = uint32_t{request[1]} << 16 | uint32_t{request[2]} << 8 | request[3];
            uint32_t count = static_cast<uint32_t>(request.size() - 5);
            // A paged write wraps inside its page: a chunk must never cross a page end.
            FUZZ_CHECK(address % FlashPageSize + count <= FlashPageSize);
            Writes.push_back({address, address + count});
        }
        sim::SimReply answer;
        if (!Loader->Handle(request, 0, answer)) return false;
        received = std::min(static_cast<int32_t>(answer.Payload.size()), maximum);
        std::copy_n(answer.Payload.begin(), received, reply);
        return true;
    }
};

TMemoryLink& Link()
{
    static TMemoryLink link;
    return link;
}

// Every write since `from` lies inside one of `allowed`.
void CheckWritesInside(size_t from, const std::vector<TRange>& allowed)
{
    const auto& writes = Link().Writes;
    for (size_t i = from; i < writes.size(); ++i)
        FUZZ_CHECK(std::any_of(allowed.begin(), allowed.end(),
                               [&](const TRange& r) { return r.Holds(writes[i].Begin, writes[i].End); }));
}

uint32_t LittleEndian(const std::vector<uint8_t>& b) { return b[0] | b[1] << 8 | b[2] << 16 | uint32_t{b[3]} << 24; }

// The directory check as the layout defines it, step by step.
std::optional<TProblemKind> ExpectedStatus(const LoaderDirectory& p, const LoaderDirectory& r)
{
    if (p.Signature() != DirectorySignature || r.Signature() != DirectorySignature) return TProblemKind::Unformatted;
    uint8_t sumA = 0, sumB = 0;
    Checksums(r.Bytes.data(), 2110, sumA, sumB);
    if (r.Bytes[2110] != sumA || r.Bytes[2111] != sumB) return TProblemKind::Damaged;
    auto matches = [&](size_t offset) {
        uint32_t pv = p.Number(offset), rv = r.Number(offset);
        return rv >> 24 == 0 && (pv >> 24 == 0 || pv >> 24 == 0xFF) && (pv & 0xFFFFFF) == (rv & 0xFFFFFF);
    };
    if (!matches(ReservedEndOffset) || !matches(LastReservedSlotOffset)) return TProblemKind::Damaged;
    for (int32_t k = 0; k < BlockCount; ++k)
        if (!matches(BlockSlotsOffset + 4 * static_cast<size_t>(k))) return TProblemKind::Damaged;
    for (int32_t j = 0; j < ReservedSlotCount; ++j)
        if (!matches(ReservedSlotsOffset + 4 * static_cast<size_t>(j))) return TProblemKind::Damaged;
    for (int32_t k = 0; k < BlockCount; ++k)   // each block in its own area of the layout
        if ((r.BlockSlot(k) & 0xFFFFFF) != BlockAreaStart + BlockAreaSize * static_cast<uint32_t>(k))
            return TProblemKind::Damaged;
    if (p.Bytes[2110] != 0 || p.Bytes[2111] != 0) return TProblemKind::Damaged;
    return std::nullopt;
}

// The stored name, encoded again, is the name field's bytes.
void CheckHeader(const BlockHeader& header)
{
    const size_t length = std::min<size_t>(header.Bytes[0], MaxBlockNameLength);
    const std::string raw(reinterpret_cast<const char*>(header.Bytes.data() + 1), length);
    FUZZ_CHECK(Utf8ToCp1251(header.Name()) == raw);
    FUZZ_CHECK(header.DataSize() == uint32_t{header.Descriptor(0).Size} + header.Descriptor(1).Size);
    FUZZ_CHECK(!header.Descriptor(-1).Valid() && !header.Descriptor(DescriptorCount).Valid());
}

struct TStore {
    LoaderDirectory Primary;   // as last read
    bool Read = false;         // the directory was read and is valid
};

void ReadDirectoryChecked(TStore& store)
{
    TMaybeProblem status;
    LoaderDirectory primary, reference;
    const size_t writes = Link().Writes.size();
    store.Read = false;
    if (!ReadDirectory(Link(), status, &primary, &reference)) return;
    FUZZ_CHECK(Link().Writes.size() == writes);
    FUZZ_CHECK(ProblemKindOf(status) == ExpectedStatus(primary, reference));
    const auto flashPrimary = Link().Flash(PrimaryDirectoryAddress, DirectorySize);
    FUZZ_CHECK(std::equal(flashPrimary.begin(), flashPrimary.end(), primary.Bytes.begin()));
    store.Primary = primary;
    store.Read = !status;
}

void ReadHeadersChecked(const TStore& store)
{
    BlockList infos;
    if (!ReadBlockHeaders(Link(), infos, store.Primary)) return;
    for (int32_t k = 0; k < BlockCount; ++k) {
        const BlockInfo& info = infos[static_cast<size_t>(k)];
        const uint32_t slot = store.Primary.BlockSlot(k);
        CheckHeader(info.Header);
        if (slot >> 24 != SlotHoldsData) {
            FUZZ_CHECK(info.IsEmpty());
            continue;
        }
        const auto flash = Link().Flash(slot, BlockHeaderSize);
        FUZZ_CHECK(std::equal(flash.begin(), flash.end(), info.Header.Bytes.begin()));
        FUZZ_CHECK(info.IsEmpty() == (info.Header.Descriptor(0).Size == 0 && info.Header.Descriptor(1).Size == 0));
    }
}

// The bytes a write of `image` covers, relative to the block area.
std::vector<TRange> CoveredBy(const TBlockImage& image)
{
    std::vector<TRange> covered{{0, BlockHeaderSize}};
    for (const SegmentDescriptor& s : SegmentsToWrite(HeaderOf(image)))
        covered.push_back({s.Offset, uint32_t{s.Offset} + s.Size});
    return covered;
}

// A dump of the block at `slot` holds its header, its segments, and 0xFF elsewhere; with
// `written`, exactly the bytes of that image it covers.
void CheckDump(uint32_t slot, const TBlockImage* written)
{
    BlockHeader header;
    const auto flash = Link().Flash(slot & 0xFFFFFF, BlockHeaderSize);
    if (flash.empty()) return;
    std::copy(flash.begin(), flash.end(), header.Bytes.begin());
    auto image = std::make_unique<TBlockImage>();
    if (!ReadBlockImage(Link(), header, slot, *image)) return;
    std::vector<TRange> covered{{0, BlockHeaderSize}};
    for (const SegmentDescriptor& s : SegmentsToWrite(header))
        if (s.FitsBlockArea()) covered.push_back({s.Offset, uint32_t{s.Offset} + s.Size});
    std::vector<bool> inside(BlockImageSize);
    for (const TRange& r : covered) std::fill(inside.begin() + r.Begin, inside.begin() + r.End, true);
    for (uint32_t i = 0; i < BlockImageSize; ++i) {
        if (!inside[i]) FUZZ_CHECK((*image)[i] == 0xFF);
        else if (written) FUZZ_CHECK((*image)[i] == (*written)[i]);
    }
}

void BuildImage(FuzzedDataProvider& input, TBlockImage& image)
{
    const uint8_t seed = input.ConsumeIntegral<uint8_t>();
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 31 + seed);
    BlockHeader header = HeaderOf(image);
    header.SetName(input.ConsumeRandomLengthString(80));
    const int32_t segments = input.ConsumeIntegralInRange<int32_t>(0, 4);
    for (int32_t d = 0; d <= segments; ++d) {
        SegmentDescriptor s;
        if (d == segments) {
            if (input.ConsumeBool()) header.SetDescriptor(d, {NoSegmentOffset, 0, 0});
            break;
        }
        const bool fits = input.ConsumeIntegralInRange<int32_t>(0, 7) != 0;
        s.Size = input.ConsumeIntegral<uint16_t>();
        s.Offset = input.ConsumeIntegral<uint16_t>();
        s.Address = input.ConsumeIntegral<uint16_t>();
        if (fits) {
            s.Size = static_cast<uint16_t>(1 + s.Size % 2048);
            s.Offset = static_cast<uint16_t>(s.Offset % (BlockAreaSize - s.Size + 1));
        }
        header.SetDescriptor(d, s);
    }
    std::copy(header.Bytes.begin(), header.Bytes.end(), image.begin());
}

void WriteChecked(FuzzedDataProvider& input, const TStore& store)
{
    const int32_t index = input.ConsumeIntegralInRange<int32_t>(0, BlockCount - 1);
    auto image = std::make_unique<TBlockImage>();
    BuildImage(input, *image);
    const uint32_t base = store.Primary.BlockSlot(index) & 0xFFFFFF;
    const uint32_t slotAddress = SlotAddress(index);
    const auto slotBefore = Link().Flash(slotAddress, 4);
    const size_t from = Link().Writes.size();
    const bool written = WriteBlock(Link(), *image, index, store.Primary);

    if (!ImageFitsBlockArea(*image)) {
        FUZZ_CHECK(!written && Link().Writes.size() == from);
        return;
    }
    std::vector<TRange> allowed{{slotAddress, slotAddress + 4}};
    for (const TRange& r : CoveredBy(*image)) allowed.push_back({base + r.Begin, base + r.End});
    CheckWritesInside(from, allowed);
    CheckWritesInside(from, {{slotAddress, slotAddress + 4}, {base, base + BlockAreaSize}});

    // Marked full by this write: then all of it is there.
    const auto slotAfter = Link().Flash(slotAddress, 4);
    if (slotAfter != slotBefore && slotAfter[3] == SlotHoldsData) {
        FUZZ_CHECK(LittleEndian(slotAfter) == base);
        CheckDump(base, image.get());
    }
    if (!written) FUZZ_CHECK(slotAfter == slotBefore || LittleEndian(slotAfter) == base);
}

void EraseChecked(FuzzedDataProvider& input, const TStore& store)
{
    const int32_t index = input.ConsumeIntegralInRange<int32_t>(0, BlockCount - 1);
    const uint32_t slotAddress = SlotAddress(index);
    const size_t from = Link().Writes.size();
    const bool erased = EraseBlock(Link(), index, store.Primary);
    CheckWritesInside(from, {{slotAddress, slotAddress + 4}});
    if (erased) FUZZ_CHECK(LittleEndian(Link().Flash(slotAddress, 4)) == (store.Primary.BlockSlot(index) | 0xFF000000));
}

void FormatChecked()
{
    const size_t from = Link().Writes.size();
    const bool formatted = FormatLoader(Link());
    CheckWritesInside(from, {{PrimaryDirectoryAddress, PrimaryDirectoryAddress + DirectorySize},
                             {ReferenceDirectoryAddress, ReferenceDirectoryAddress + DirectorySize}});
    if (!formatted) return;
    TStore store;
    ReadDirectoryChecked(store);
    if (Link().ExchangesLeft != 0) FUZZ_CHECK(store.Read);
}

// Changes bytes of the flash where the store looks: the directory copies and the block headers.
void Poke(FuzzedDataProvider& input)
{
    static const uint32_t regions[] = {PrimaryDirectoryAddress, ReferenceDirectoryAddress, BlockAreaStart,
                                       BlockAreaStart + 3 * BlockAreaSize, BlockSlotsOffset};
    const uint32_t region = regions[input.ConsumeIntegralInRange<size_t>(0, std::size(regions) - 1)];
    const uint32_t offset = input.ConsumeIntegralInRange<uint32_t>(0, DirectorySize - 1);
    Link().Change(region + offset, {input.ConsumeIntegral<uint8_t>()});
}

// Gives the reference copy its right sums again, so that a changed but consistent directory is
// reached too.
void Reseal()
{
    auto reference = Link().Flash(ReferenceDirectoryAddress, DirectorySize);
    Checksums(reference.data(), 2110, reference[2110], reference[2111]);
    Link().Change(ReferenceDirectoryAddress, reference);
}
}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    Link().Reset();
    if (input.ConsumeBool()) FUZZ_CHECK(FormatLoader(Link()));
    for (int32_t pokes = input.ConsumeIntegralInRange<int32_t>(0, 8); pokes > 0; --pokes) Poke(input);
    if (input.ConsumeBool()) Reseal();

    TStore store;
    ReadDirectoryChecked(store);
    for (int32_t step = 0; step < 8 && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange<int32_t>(0, 7)) {
        case 0: ReadDirectoryChecked(store); break;
        case 1: ReadHeadersChecked(store); break;
        case 2:
            if (store.Read) WriteChecked(input, store);
            break;
        case 3:
            if (store.Read) EraseChecked(input, store);
            break;
        case 4: FormatChecked(); break;
        case 5:
            CheckDump(store.Primary.BlockSlot(input.ConsumeIntegralInRange<int32_t>(0, BlockCount - 1)), nullptr);
            break;
        case 6: Poke(input); break;
        default: Link().ExchangesLeft = input.ConsumeIntegralInRange<int32_t>(-1, 400); break;
        }
    }
    return 0;
}
