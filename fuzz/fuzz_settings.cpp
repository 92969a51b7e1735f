// The settings file. Whatever a file holds, the record loaded from it is saved, and loading the
// saved file gives the same record; saving that again gives the same bytes. The list helpers
// behind the position value take any text.
#include "fuzz/FuzzSupport.h"
#include "util/Settings.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace {
bool SameRecord(const TSettings& a, const TSettings& b)
{
    return a.Position == b.Position && a.LastDir == b.LastDir && a.FileName == b.FileName &&
           a.LastFontDir == b.LastFontDir && a.Port == b.Port && a.FontFile == b.FontFile &&
           a.IncludeFont == b.IncludeFont && a.RomName == b.RomName;
}

std::string Contents(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void CheckLoadSaveLoad(const uint8_t* data, size_t size)
{
    static const std::string original = fuzz::ScratchPath("original.ini");
    static const std::string saved = fuzz::ScratchPath("saved.ini");
    fuzz::WriteScratch(original, data, size);

    TSettings first;
    LoadSettings(first, original);
    FUZZ_CHECK(!SaveSettings(first, saved));
    const std::string firstBytes = Contents(saved);
    TSettings second;
    LoadSettings(second, saved);
    FUZZ_CHECK(SameRecord(first, second));
    FUZZ_CHECK(!SaveSettings(second, saved));
    FUZZ_CHECK(Contents(saved) == firstBytes);
}

void CheckListHelpers(std::string_view text)
{
    std::array<int32_t, 4> values{};
    TextToFourInts(text, values);
    std::array<int32_t, 4> again{};
    TextToFourInts(FourIntsToText(values), again);
    FUZZ_CHECK(again == values);
    const int32_t item = ItemToInt(text);
    FUZZ_CHECK(ItemToInt(std::to_string(item)) == item);
    for (const std::string& part : SplitTopLevel(text, ',')) FUZZ_CHECK(part.size() <= text.size());
    const size_t at = FindTopLevel(",", text);
    FUZZ_CHECK(at == 0 || (at <= text.size() && text[at - 1] == ','));
}
}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckLoadSaveLoad(data, size);
    CheckListHelpers(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
