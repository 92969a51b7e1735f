// The font file reader, the relocation and the font table. The reader takes exactly the files the
// format allows, copies their data and nothing else, and never writes past the buffer it is given
// (the buffer is exactly as large as it says); a prepared set lies below the font table, every
// offset-table entry relocated to its board address without wrapping, and the table names every
// font.
#include "fonts/FontFile.h"
#include "fuzz/FuzzSupport.h"
#include "util/Dialogue.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace {
constexpr int32_t EntriesPerFont = FontOffsetTableSize / 2;

int32_t Word(const uint8_t* p) { return p[0] | p[1] << 8; }

// What the format allows, worked out from the file's layout alone: the data, and the font count.
struct TFontFile {
    std::vector<uint8_t> Data;
    int32_t Count = 0;
};

std::optional<TFontFile> Acceptable(const uint8_t* file, size_t size)
{
    if (size < 32 || size > static_cast<size_t>(FontFileLimit)) return std::nullopt;
    if (file[0] != 0x07 || file[1] != 0xFF) return std::nullopt;
    const size_t header = static_cast<size_t>(Word(file + 3));
    if (header < 32 || header > size) return std::nullopt;
    TFontFile font{{file + header, file + size}, file[2]};
    if (font.Count > MaxFonts) return std::nullopt;
    if (static_cast<size_t>(font.Count) * (FontOffsetTableSize + 1) > font.Data.size()) return std::nullopt;
    for (int32_t i = 0; i < font.Count * EntriesPerFont; ++i)
        if (Word(font.Data.data() + 2 * i) + FontBaseAddress > 0xFFFF) return std::nullopt;
    return font;
}

class TSilentUser : public TUserDialogue {
public:
    std::vector<TMessageId> Shown;
    TAnswer ShowMessage(const TMessage& message) override
    {
        Shown.push_back(message.Id);
        return TAnswer::Ok;
    }
    void SetStatus(const std::string&) override {}
    void ShowProgress(int32_t) override {}
};

// The reader into a buffer of exactly `capacity` bytes, so that a write past it is caught.
void CheckReader(const std::string& path, const std::optional<TFontFile>& font, int32_t capacity)
{
    std::vector<uint8_t> buffer(static_cast<size_t>(capacity), 0xA5);
    int32_t dataSize = -1, count = -1;
    const bool read = !ReadFontFile(buffer.data(), capacity, path, dataSize, count);
    const bool fits = font && static_cast<int32_t>(font->Data.size()) <= capacity;
    FUZZ_CHECK(read == fits);
    if (read) {
        FUZZ_CHECK(dataSize == static_cast<int32_t>(font->Data.size()) && count == font->Count);
        FUZZ_CHECK(std::equal(font->Data.begin(), font->Data.end(), buffer.begin()));
    }
    const size_t untouchedFrom = read ? static_cast<size_t>(dataSize) : 0;
    FUZZ_CHECK(std::all_of(buffer.begin() + static_cast<ptrdiff_t>(untouchedFrom), buffer.end(),
                           [](uint8_t b) { return b == 0xA5; }));
}

void CheckPreparedSet(const std::string& path, const std::optional<TFontFile>& font)
{
    auto fonts = std::make_unique<TFontSet>();
    TSilentUser user;
    const bool prepared = PrepareFonts(*fonts, path, user);
    const bool fits = font && FontBaseAddress + static_cast<int32_t>(font->Data.size()) <= FontLimit;
    FUZZ_CHECK(prepared == fits);
    if (!prepared) {
        FUZZ_CHECK(user.Shown.size() == 1);
        FUZZ_CHECK(user.Shown[0] == (font ? TMessageId::FontsDoNotFit : TMessageId::FontsUnreadable));
        return;
    }
    FUZZ_CHECK(user.Shown.empty());
    FUZZ_CHECK(fonts->FontBase == FontBaseAddress && fonts->FontCount == font->Count);
    FUZZ_CHECK(fonts->FontSize == static_cast<int32_t>(font->Data.size()));
    const uint8_t* relocated = fonts->FontBuffer.data();
    const int32_t entries = font->Count * EntriesPerFont;
    for (int32_t i = 0; i < entries; ++i) {
        const int32_t address = relocated[2 * i] << 8 | relocated[2 * i + 1];   // high byte first
        FUZZ_CHECK(address == Word(font->Data.data() + 2 * i) + FontBaseAddress);
    }
    FUZZ_CHECK(std::equal(font->Data.begin() + 2 * entries, font->Data.end(), relocated + 2 * entries));

    BuildFontTable(*fonts);
    FUZZ_CHECK(fonts->FontTable[0] == font->Count);
    for (int32_t k = 1; k < FontTableSize; ++k) {
        const int32_t expected = k <= font->Count ? FontBaseAddress / 256 + 2 * (k - 1) : 0xFF;
        FUZZ_CHECK(fonts->FontTable[static_cast<size_t>(k)] == expected);
    }
}
}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = fuzz::ScratchPath("fonts.gly");
    fuzz::WriteScratch(path, data, size);
    const std::optional<TFontFile> font = Acceptable(data, size);
    CheckReader(path, font, FontBufferSize);
    // Just too small, and just large enough, for this file's data.
    if (font && !font->Data.empty()) {
        CheckReader(path, font, static_cast<int32_t>(font->Data.size()) - 1);
        CheckReader(path, font, static_cast<int32_t>(font->Data.size()));
    }
    CheckPreparedSet(path, font);
    return 0;
}
