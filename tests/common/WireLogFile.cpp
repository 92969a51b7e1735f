#include "tests/common/WireLogFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {
bool ParseHex(const std::string& hex, std::vector<uint8_t>& bytes)
{
    if (hex.size() % 2 != 0) return false;
    for (size_t i = 0; i < hex.size(); i += 2) {
        size_t used = 0;
        unsigned long value = std::stoul(hex.substr(i, 2), &used, 16);
        if (used != 2) return false;
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return true;
}

bool ParseLine(const std::string& text, WireRecord& line)
{
    std::istringstream fields(text);
    std::string dir, kind, status, data;
    if (!(fields >> line.Tick >> dir >> kind >> status >> line.Baud)) return false;
    line.FirstTick = line.Tick;
    fields >> data;   // an empty payload leaves nothing after the rate
    line.FromProgram = dir == "req";
    line.Raw = kind == "raw";
    line.Valid = status == "valid";
    if (!line.Raw) return ParseHex(data, line.Payload);
    line.RawCount = std::stoul(data);
    return true;
}
}   // namespace

std::vector<WireRecord> ReadWireLog(const std::string& path, size_t skip)
{
    std::ifstream in(path);
    std::vector<WireRecord> lines;
    std::string text;
    while (std::getline(in, text)) {
        WireRecord line;
        try {
            if (ParseLine(text, line)) lines.push_back(std::move(line));
        } catch (const std::exception&) {
            // not a number where one belongs
        }
    }
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(skip, lines.size())));
    return lines;
}

size_t CountRequests(const std::vector<WireRecord>& lines, uint8_t code)
{
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [code](const WireRecord& l) {
        return l.FromProgram && !l.Raw && l.Command() == code;
    }));
}
