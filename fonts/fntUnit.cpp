#include "fonts/fntUnit.h"

#include "util/Dialogue.h"
#include "util/StrUnit.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace {
constexpr size_t FixedHeaderSize = 32;
constexpr int32_t EntriesPerFont = FontOffsetTableSize / 2;

int32_t Word(const uint8_t* p) { return p[0] | p[1] << 8; }

// At most FontFileLimit + 1 bytes: enough to tell a file that is too large without reading it all.
// Only regular files: a pipe or a device picked by mistake must not block or stream forever.
bool LoadFontFile(const std::string& name, std::vector<uint8_t>& bytes)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(name, ec)) return false;
    std::ifstream file(name, std::ios::binary);
    if (!file) return false;
    bytes.resize(FontFileLimit + 1);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (file.bad()) return false;
    bytes.resize(static_cast<size_t>(file.gcount()));
    return true;
}

// An entry that would pass 0xFFFF after relocation would wrap to a wrong board address.
bool FitsBoardAddresses(const uint8_t* data, int32_t count, int32_t base)
{
    for (int32_t i = 0; i < count * EntriesPerFont; ++i) {
        if (Word(data + 2 * i) + base > 0xFFFF) return false;
    }
    return true;
}

bool ReadChecked(uint8_t* buffer, int32_t capacity, const std::string& fileName, int32_t& dataSize,
                 int32_t& count)
{
    std::vector<uint8_t> file;
    if (!LoadFontFile(TrimBlanks(fileName), file)) return false;
    if (file.size() < FixedHeaderSize) return false;
    if (file.size() > static_cast<size_t>(FontFileLimit)) return false;
    if (file[0] != 0x07 || file[1] != 0xFF) return false;
    const int32_t fileSize = static_cast<int32_t>(file.size());
    const int32_t headerSize = Word(&file[3]);
    if (headerSize < static_cast<int32_t>(FixedHeaderSize) || headerSize > fileSize) return false;

    dataSize = fileSize - headerSize;
    count = file[2];
    const uint8_t* data = file.data() + headerSize;
    if (count > MaxFonts) return false;
    if (513 * count > dataSize) return false;   // each font: its offset table and at least one byte
    if (dataSize > capacity) return false;
    if (!FitsBoardAddresses(data, count, FontBaseAddress)) return false;
    std::copy_n(data, dataSize, buffer);
    return true;
}
} // namespace

bool ReadFontFile(uint8_t* buffer, int32_t capacity, const std::string& fileName, int32_t& dataSize,
                  int32_t& count)
{
    try {
        return ReadChecked(buffer, capacity, fileName, dataSize, count);
    } catch (...) {
        return false;   // out of memory or a file-layer failure: refused like any unreadable file
    }
}

void RelocateFonts(uint8_t* buffer, int32_t count, int32_t base)
{
    for (int32_t i = 0; i < count * EntriesPerFont; ++i) {
        uint8_t* p = buffer + 2 * i;
        const int32_t address = (Word(p) + base) & 0xFFFF;
        p[0] = static_cast<uint8_t>(address >> 8);
        p[1] = static_cast<uint8_t>(address);
    }
}

void BuildFontTable(TFontSet& fonts)
{
    // The reader refuses more fonts than the table holds; the clamp keeps count and entries in step
    // for a set filled some other way.
    const int32_t entries = std::clamp(fonts.FontCount, 0, MaxFonts);
    fonts.FontTable.fill(0xFF);
    fonts.FontTable[0] = static_cast<uint8_t>(entries);
    for (int32_t k = 1; k <= entries; ++k) {
        fonts.FontTable[k] = static_cast<uint8_t>(fonts.FontBase / 256 + 2 * (k - 1));
    }
}

void ShowFontsDoNotFit(TUserDialogue& ui)
{
    ui.ShowMessage({TMessageId::FontsDoNotFit, "Запись шрифтов!", "Нет места для размещения шрифтов!", MbError});
}

bool PrepareFonts(TFontSet& fonts, const std::string& fileName, TUserDialogue& ui)
{
    if (!ReadFontFile(fonts.FontBuffer.data(), FontBufferSize, fileName, fonts.FontSize, fonts.FontCount)) {
        ui.ShowMessage({TMessageId::FontsUnreadable, "Чтение шрифтов!", "Не удалось загрузить шрифты!", MbError});
        return false;
    }
    fonts.FontBase = FontBaseAddress;
    if (fonts.FontBase + fonts.FontSize > FontLimit) {
        ShowFontsDoNotFit(ui);
        return false;
    }
    RelocateFonts(fonts.FontBuffer.data(), fonts.FontCount, fonts.FontBase);
    return true;
}
