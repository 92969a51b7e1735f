#include "fonts/FontFile.h"

#include "util/Dialogue.h"
#include "util/TextFormat.h"

#include "util/InputFile.h"

#include <algorithm>
#include <vector>

namespace {
constexpr size_t FixedHeaderSize = 32;
constexpr int32_t EntriesPerFont = FontOffsetTableSize / 2;

int32_t Word(const uint8_t* p) { return p[0] | p[1] << 8; }

// An entry that would pass 0xFFFF after relocation would wrap to a wrong board address.
bool FitsBoardAddresses(const uint8_t* data, int32_t count, int32_t base)
{
    for (int32_t i = 0; i < count * EntriesPerFont; ++i) {
        if (Word(data + 2 * i) + base > 0xFFFF) return false;
    }
    return true;
}

std::string ByteCount(int64_t count) { return std::to_string(count) + " байт"; }

// Our line beside a fixed text: which file, and why.
std::string FileLine(const std::string& fileName, const std::string& reason)
{
    const std::string name = TrimBlanks(fileName);
    return name.empty() ? reason : name + ": " + reason;
}

// Empty when the file's contents pass; otherwise why not, in the interface's words.
std::string ContentProblem(const std::vector<uint8_t>& file, int32_t capacity, int32_t& dataSize, int32_t& count)
{
    if (file.size() < FixedHeaderSize) return "файл короче заголовка (" + ByteCount(FixedHeaderSize) + ")";
    if (file[0] != 0x07 || file[1] != 0xFF) return "это не файл шрифтов: нет подписи 07 FF в начале";
    const int32_t fileSize = static_cast<int32_t>(file.size());
    const int32_t headerSize = Word(&file[3]);
    if (headerSize < static_cast<int32_t>(FixedHeaderSize) || headerSize > fileSize)
        return "неверный размер заголовка: " + ByteCount(headerSize) + " при файле в " + ByteCount(fileSize);

    dataSize = fileSize - headerSize;
    count = file[2];
    if (count > MaxFonts)
        return "шрифтов в файле " + std::to_string(count) + ", а таблица шрифтов вмещает " + std::to_string(MaxFonts);
    // Each font: its offset table and at least one byte.
    if (513 * count > dataSize)
        return "данных " + ByteCount(dataSize) + ", а " + std::to_string(count) + " шрифтам нужно не меньше " +
               ByteCount(513 * count);
    if (dataSize > capacity) return "данных " + ByteCount(dataSize) + ", а буфер вмещает " + ByteCount(capacity);
    if (!FitsBoardAddresses(file.data() + headerSize, count, FontBaseAddress))
        return "таблица смещений шрифта выходит за адрес FFFF";
    return {};
}

TMaybeProblem ReadChecked(uint8_t* buffer, int32_t capacity, const std::string& fileName, int32_t& dataSize,
                          int32_t& count)
{
    const std::string name = TrimBlanks(fileName);
    if (name.empty()) return TProblem(TProblemKind::Missing, "файл шрифтов не указан");
    std::vector<uint8_t> file;
    if (TMaybeProblem problem = ReadInputFile(name, FontFileLimit, file)) return problem;
    if (std::string reason = ContentProblem(file, capacity, dataSize, count); !reason.empty())
        return TProblem(TProblemKind::WrongContents, reason);
    const size_t headerSize = file.size() - static_cast<size_t>(dataSize);   // the data runs to the end
    std::copy_n(file.data() + headerSize, dataSize, buffer);
    return std::nullopt;
}
}   // namespace

TMaybeProblem ReadFontFile(uint8_t* buffer, int32_t capacity, const std::string& fileName, int32_t& dataSize,
                           int32_t& count)
{
    try {
        return ReadChecked(buffer, capacity, fileName, dataSize, count);
    } catch (...) {
        return TProblem(TProblemKind::Other, "не хватает памяти");   // the only thing that throws here
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

void ShowFontsDoNotFit(TUserDialogue& ui, const std::string& detail)
{
    std::string text = "Нет места для размещения шрифтов!";
    if (!detail.empty()) text += "\n" + detail;
    ui.ShowMessage({TMessageId::FontsDoNotFit, "Запись шрифтов!", text, TBoxKind::Error});
}

bool PrepareFonts(TFontSet& fonts, const std::string& fileName, TUserDialogue& ui)
{
    if (TMaybeProblem problem = ReadFontFile(fonts.FontBuffer.data(), FontBufferSize, fileName, fonts.FontSize,
                                             fonts.FontCount)) {
        ui.ShowMessage({TMessageId::FontsUnreadable, "Чтение шрифтов!",
                        "Не удалось загрузить шрифты!\n" + FileLine(fileName, problem->Reason()), TBoxKind::Error});
        return false;
    }
    fonts.FontBase = FontBaseAddress;
    if (fonts.FontBase + fonts.FontSize > FontLimit) {
        ShowFontsDoNotFit(ui, FileLine(fileName, "данных шрифтов " + ByteCount(fonts.FontSize) + ", а места для них " +
                                                     ByteCount(FontLimit - fonts.FontBase)));
        return false;
    }
    RelocateFonts(fonts.FontBuffer.data(), fonts.FontCount, fonts.FontBase);
    return true;
}
