#include "cli/Json.h"

#include <cstdio>

std::string JsonQuoted(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

TJsonLine& TJsonLine::Put(const char* key, const std::string& json)
{
    if (!body_.empty()) body_ += ',';
    body_ += JsonQuoted(key) + ":" + json;
    return *this;
}

TJsonLine& TJsonLine::Add(const char* key, const std::string& value) { return Put(key, JsonQuoted(value)); }
TJsonLine& TJsonLine::Add(const char* key, int64_t value) { return Put(key, std::to_string(value)); }
TJsonLine& TJsonLine::Add(const char* key, bool value) { return Put(key, value ? "true" : "false"); }
TJsonLine& TJsonLine::AddRaw(const char* key, const std::string& json) { return Put(key, json); }

TJsonLine& TJsonLine::Add(const char* key, double value)
{
    char number[32];
    std::snprintf(number, sizeof number, "%.3f", value);
    return Put(key, number);
}
