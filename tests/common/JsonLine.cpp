#include "tests/common/JsonLine.h"

#include <cctype>
#include <sstream>

namespace {
class Reader {
public:
    explicit Reader(const std::string& text) : s_(text) {}

    std::optional<JsonObject> Object()
    {
        JsonObject fields;
        if (!Take('{')) return std::nullopt;
        if (Take('}')) return End(fields);
        do {
            std::string key, value;
            if (!String(key) || !Take(':') || !Value(value)) return std::nullopt;
            fields[key] = value;
        } while (Take(','));
        if (!Take('}')) return std::nullopt;
        return End(fields);
    }

private:
    std::optional<JsonObject> End(const JsonObject& fields)
    {
        Blanks();
        if (i_ != s_.size()) return std::nullopt;
        return fields;
    }
    void Blanks()
    {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    bool Take(char c)
    {
        Blanks();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    bool String(std::string& out)
    {
        if (!Take('"')) return false;
        while (i_ < s_.size() && s_[i_] != '"') {
            char c = s_[i_++];
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size()) return false;
            char e = s_[i_++];
            if (e == 'n') out += '\n';
            else if (e == 't') out += '\t';
            else if (e == 'u' && i_ + 4 <= s_.size()) {
                out += static_cast<char>(std::stoi(s_.substr(i_, 4), nullptr, 16));   // ASCII controls only
                i_ += 4;
            } else if (e == '"' || e == '\\' || e == '/') out += e;
            else return false;
        }
        return Take('"');
    }
    bool Value(std::string& out)
    {
        Blanks();
        if (i_ < s_.size() && s_[i_] == '"') return String(out);
        size_t start = i_;
        while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '-' || s_[i_] == '.'))
            ++i_;
        out = s_.substr(start, i_ - start);
        if (out == "true" || out == "false") return true;
        if (out.empty()) return false;
        std::istringstream number(out);
        double d;
        return (number >> d) && number.eof();
    }

    const std::string& s_;
    size_t i_ = 0;
};
} // namespace

std::optional<JsonObject> ParseJsonObject(const std::string& line) { return Reader(line).Object(); }

std::optional<std::vector<JsonObject>> ParseJsonLines(const std::string& text)
{
    std::vector<JsonObject> objects;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        auto object = ParseJsonObject(line);
        if (!object) return std::nullopt;
        objects.push_back(*object);
    }
    return objects;
}
