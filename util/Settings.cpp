#include "util/Settings.h"

#include "util/AtomicFile.h"
#include "util/Cp1251.h"
#include "util/InputFile.h"
#include "util/PathName.h"
#include "util/SettingsPlatform.h"
#include "util/TextFormat.h"

#include <cctype>
#include <cstdlib>
#include <limits>
#include <sstream>


namespace {
const char* const kSection = "Settings";

std::string Lower(std::string_view s)
{
    std::string l(s);
    for (char& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return l;
}

// The "Settings" section as key (lower case) -> raw value; the first occurrence of a key wins.
std::vector<std::pair<std::string, std::string>> ReadSection(std::istream& in)
{
    std::vector<std::pair<std::string, std::string>> values;
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string t = TrimBlanks(line);
        if (t.empty() || t[0] == ';') continue;
        if (t.front() == '[' && t.back() == ']') {
            inSection = Lower(TrimBlanks(std::string_view(t).substr(1, t.size() - 2))) == "settings";
            continue;
        }
        size_t eq = line.find('=');
        if (!inSection || eq == std::string::npos) continue;
        values.emplace_back(Lower(TrimBlanks(std::string_view(line).substr(0, eq))),
                            Cp1251ToUtf8(std::string_view(line).substr(eq + 1)));
    }
    return values;
}

std::string ValueOf(const std::vector<std::pair<std::string, std::string>>& values, const char* key)
{
    std::string k = Lower(key);
    for (const auto& [name, value] : values)
        if (name == k) return value;
    return {};
}

// A whole-text integer, as the INI reader's integer reading takes it; anything else gives def.
int32_t IntegerOr(std::string_view text, int32_t def)
{
    std::string t = TrimBlanks(text);
    if (t.empty()) return def;
    char* end = nullptr;
    bool hex = t[0] == '$';
    long long v = hex ? std::strtoll(t.c_str() + 1, &end, 16) : std::strtoll(t.c_str(), &end, 10);
    if (*end != '\0' || end == t.c_str() + (hex ? 1 : 0)) return def;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return def;
    return static_cast<int32_t>(v);
}
}   // namespace

std::string DefaultSettingsPath()
{
    std::string dir = ProgramDir();
    if (IsSystemProgramDir(dir) || !IsWritableDir(dir)) dir = UserSettingsDir();
    return dir.empty() ? std::string() : dir + SettingsFileName;
}

void LoadSettings(TSettings& set, const std::string& path)
{
    std::vector<uint8_t> bytes;
    if (path.empty() || ReadInputFile(path, SettingsFileLimit, bytes)) return;
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    auto values = ReadSection(in);
    TextToFourInts(ValueOf(values, "Position"), set.Position);
    set.LastDir = ValueOf(values, "LastDir");
    set.FileName = ValueOf(values, "FileName");
    set.Port = ValueOf(values, "Port");
    set.LastFontDir = ValueOf(values, "LastFontDir");
    set.FontFile = ValueOf(values, "FontFile");
    set.IncludeFont = IntegerOr(ValueOf(values, "IncludeFont"), 0) != 0;
    set.RomName = ValueOf(values, "RomName");
}

TMaybeProblem SaveSettings(const TSettings& set, const std::string& path)
{
    if (path.empty())
        return TProblem(TProblemKind::Missing, "нет папки для файла настроек: не найдена домашняя папка пользователя");
    std::ostringstream text;
    auto line = [&text](std::string_view key, std::string_view value) {
        text << key << '=' << Utf8ToCp1251(value) << "\r\n";
    };
    text << '[' << kSection << "]\r\n";
    line("Position", FourIntsToText(set.Position));
    line("LastDir", set.LastDir);
    line("FileName", set.FileName);
    line("Port", set.Port);
    line("LastFontDir", set.LastFontDir);
    line("FontFile", set.FontFile);
    line("IncludeFont", set.IncludeFont ? "1" : "0");
    line("RomName", set.RomName);

    return ReplaceFile(path, text.str());
}

std::string FourIntsToText(const std::array<int32_t, 4>& values)
{
    return std::to_string(values[0]) + "," + std::to_string(values[1]) + "," + std::to_string(values[2]) + "," +
           std::to_string(values[3]);
}

// Accepts "+"/"-" and decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X"
// without a sign. Anything else yields the digits read before the first character that does not
// fit, without the sign. Values outside the signed 32-bit range are clamped to it (a position far
// off the screen stays far off the screen instead of wrapping onto it).
int32_t ItemToInt(std::string_view item)
{
    size_t i = 0;
    int base = 10;
    bool negative = false;
    if (item.substr(0, 2) == "0x" || item.substr(0, 2) == "0X") {
        base = 16;
        i = 2;
    } else if (!item.empty() && (item[0] == '$' || item[0] == 'x' || item[0] == 'X')) {
        base = 16;
        i = 1;
    } else if (!item.empty() && (item[0] == '+' || item[0] == '-')) {
        negative = item[0] == '-';
        i = 1;
    }
    const long long limit = negative ? -static_cast<long long>(std::numeric_limits<int32_t>::min())
                                     : std::numeric_limits<int32_t>::max();
    long long value = 0;
    size_t digits = 0;
    for (; i < item.size(); ++i, ++digits) {
        int c = static_cast<unsigned char>(item[i]);
        int d = std::isdigit(c) ? c - '0' : base == 16 && std::isxdigit(c) ? std::tolower(c) - 'a' + 10 : -1;
        if (d < 0) break;
        value = std::min(value * base + d, limit);
    }
    bool whole = i == item.size() && digits > 0;
    if (!whole) negative = false;
    if (!negative && value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(negative ? -value : value);
}

void TextToFourInts(std::string_view text, std::array<int32_t, 4>& values)
{
    std::vector<std::string> items = SplitTopLevel(text, ',');
    values = {0, 0, 0, 0};
    for (size_t k = 0; k < items.size() && k < 4; ++k) values[k] = ItemToInt(TrimBlanks(items[k]));
}

std::vector<std::string> SplitTopLevel(std::string_view text, char separator)
{
    std::vector<std::string> items;
    std::string rest = TrimBlanks(text);
    if (rest.empty()) return items;
    const std::string sep(1, separator);
    for (;;) {
        size_t p = FindTopLevel(sep, rest);
        if (p == 0) {
            items.push_back(TrimBlanks(rest));
            return items;
        }
        items.push_back(TrimBlanks(std::string_view(rest).substr(0, p - 1)));
        rest.erase(0, p);
    }
}

size_t FindTopLevel(std::string_view sub, std::string_view text)
{
    bool quoted = false;
    int parens = 0, squares = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\'') quoted = !quoted;
        if (!quoted) {
            if (c == '(') ++parens;
            else if (c == ')') --parens;
            else if (c == '[') ++squares;
            else if (c == ']') --squares;
        }
        if (!quoted && parens == 0 && squares == 0 && text.substr(i, sub.size()) == sub) return i + 1;
    }
    return 0;
}
