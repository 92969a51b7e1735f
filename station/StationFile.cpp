#include "station/StationFile.h"

#include "util/InputFile.h"
#include "util/TextFormat.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>

namespace {
constexpr size_t MaxLoaderName = 63;
constexpr int32_t BlockCountInLoader = 8;

std::string Lower(std::string_view s)
{
    std::string l(s);
    for (char& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return l;
}

// Length of the UTF-8 sequence starting at `s[i]`; 0 when it is malformed.
size_t Utf8SequenceAt(std::string_view s, size_t i)
{
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > s.size()) return 0;
    for (size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    return length;
}

bool IsUtf8(std::string_view s)
{
    for (size_t i = 0; i < s.size();) {
        size_t length = Utf8SequenceAt(s, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

size_t CharacterCount(std::string_view s)
{
    return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

bool ParseNumber(const std::string& text, int32_t low, int32_t high, int32_t& value)
{
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    value = std::stoi(text);
    return value >= low && value <= high;
}

bool ParseYesNo(const std::string& text, bool& value)
{
    std::string t = Lower(text);
    if (t == "yes" || t == "1" || t == "true" || t == "да") value = true;
    else if (t == "no" || t == "0" || t == "false" || t == "нет") value = false;
    else return false;
    return true;
}

// A ';' after a blank starts a comment at the end of a line ("Settle=500   ; ms").
std::string_view WithoutComment(std::string_view value)
{
    for (size_t i = 1; i < value.size(); ++i)
        if (value[i] == ';' && (value[i - 1] == ' ' || value[i - 1] == '\t')) return value.substr(0, i);
    return value;
}

std::string FullName(const std::string& folder, const std::string& name)
{
    std::filesystem::path path(name);
    if (path.is_absolute() || folder.empty()) return name;
    return (std::filesystem::path(folder) / path).string();
}

class TParser {
public:
    TParser(const std::string& folder, TStationFile& file, TStationFileError& error)
        : folder_(folder), file_(file), error_(error)
    {
    }

    bool Line(const std::string& raw, int32_t number);
    bool Finish();

private:
    bool Fail(int32_t line, std::string reason)
    {
        error_ = {line, std::move(reason)};
        return false;
    }
    bool JobKey(const std::string& key, const std::string& value, int32_t line);
    bool Slot(const std::string& label, const std::string& port, int32_t line);

    std::string folder_;
    TStationFile& file_;
    TStationFileError& error_;
    std::string section_;
    std::vector<std::string> seenKeys_;
    int32_t nameLine_ = 0;
    bool sawSlots_ = false;
};

bool TParser::Line(const std::string& raw, int32_t number)
{
    std::string line = TrimBlanks(raw);
    if (line.empty() || line[0] == ';' || line[0] == '#') return true;
    if (!IsUtf8(line)) return Fail(number, "строка не в кодировке UTF-8");
    if (line.front() == '[') {
        if (line.back() != ']') return Fail(number, "заголовок раздела без закрывающей скобки «]»");
        section_ = Lower(TrimBlanks(std::string_view(line).substr(1, line.size() - 2)));
        if (section_ != "job" && section_ != "slots")
            return Fail(number, "неизвестный раздел «" + line + "»: ожидаются [Job] и [Slots]");
        if (section_ == "slots") sawSlots_ = true;
        return true;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) return Fail(number, "строка без «=»: ожидается КЛЮЧ=ЗНАЧЕНИЕ");
    std::string key = TrimBlanks(std::string_view(line).substr(0, eq));
    std::string value = TrimBlanks(WithoutComment(std::string_view(line).substr(eq + 1)));
    if (key.empty()) return Fail(number, "пустой ключ перед «=»");
    if (section_.empty()) return Fail(number, "ключ «" + key + "» вне раздела: начните с [Job] или [Slots]");
    if (section_ == "job") return JobKey(key, value, number);
    return Slot(key, value, number);
}

bool TParser::JobKey(const std::string& key, const std::string& value, int32_t line)
{
    std::string k = Lower(key);
    if (std::find(seenKeys_.begin(), seenKeys_.end(), k) != seenKeys_.end())
        return Fail(line, "ключ «" + key + "» указан в [Job] второй раз");
    seenKeys_.push_back(k);
    TJobEntry& job = file_.Job;
    if (k == "firmware") {
        if (value.empty()) return Fail(line, "Firmware без имени файла");
        job.Firmware = FullName(folder_, value);
    } else if (k == "fonts") {
        if (value.empty()) return Fail(line, "Fonts без имени файла");
        job.Fonts = FullName(folder_, value);
    } else if (k == "loaderblock") {
        if (!ParseNumber(value, 1, BlockCountInLoader, job.LoaderBlock))
            return Fail(line, "LoaderBlock «" + value + "»: ожидается номер блока от 1 до 8");
    } else if (k == "loadername") {
        if (CharacterCount(value) > MaxLoaderName) return Fail(line, "LoaderName длиннее 63 символов");
        job.LoaderName = value;
        nameLine_ = line;
    } else if (k == "formatloader") {
        if (!ParseYesNo(value, job.FormatLoader))
            return Fail(line, "FormatLoader «" + value + "»: ожидается yes или no");
    } else if (k == "settle") {
        if (!ParseNumber(value, 0, MaxSettleMs, file_.SettleMs))
            return Fail(line, "Settle «" + value + "»: ожидается время в мс от 0 до 60000");
    } else {
        return Fail(line, "неизвестный ключ «" + key +
                              "» в [Job]: ожидаются Firmware, Fonts, LoaderBlock, LoaderName, FormatLoader, Settle");
    }
    return true;
}

bool TParser::Slot(const std::string& label, const std::string& port, int32_t line)
{
    if (port.empty()) return Fail(line, "гнездо «" + label + "» без порта");
    for (const TSlotEntry& slot : file_.Slots) {
        if (slot.Label == label)
            return Fail(line, "метка «" + label + "» уже занята строкой " + std::to_string(slot.Line));
        if (slot.Port == port)
            return Fail(line, "порт " + port + " уже назначен гнезду «" + slot.Label + "» (строка " +
                                  std::to_string(slot.Line) + ")");
    }
    file_.Slots.push_back({label, port, BindingOf(port), line});
    return true;
}

bool TParser::Finish()
{
    if (!file_.Job.LoaderName.empty() && file_.Job.LoaderBlock == 0)
        return Fail(nameLine_, "LoaderName без LoaderBlock: укажите номер блока");
    if (!sawSlots_ || file_.Slots.empty())
        return Fail(0, "нет ни одного гнезда: добавьте раздел [Slots] с строками МЕТКА=ПОРТ");
    return true;
}
}   // namespace

bool ParseStationText(const std::string& text, const std::string& folder, TStationFile& file, TStationFileError& error)
{
    file.Job = {};
    file.Slots.clear();
    file.SettleMs = 500;
    TParser parser(folder, file, error);
    std::istringstream in(text);
    std::string line;
    int32_t number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);   // a BOM some editors write
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!parser.Line(line, number)) return false;
    }
    return parser.Finish();
}

bool ReadStationFile(const std::string& path, TStationFile& file, TStationFileError& error)
{
    std::vector<uint8_t> bytes;
    if (TMaybeProblem problem = ReadInputFile(path, StationFileLimit, bytes)) {
        error = {0, problem->Reason()};
        return false;
    }
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (!ParseStationText(std::string(bytes.begin(), bytes.end()), folder, file, error)) return false;
    file.Path = path;
    return true;
}

const char* BindingText(TSlotBinding binding)
{
    switch (binding) {
    case TSlotBinding::Socket: return "гнездо";
    case TSlotBinding::ById: return "by-id";
    case TSlotBinding::PortName: return "порт";
    }
    return "";
}
