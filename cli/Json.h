// One JSON object on one line, for --json output and the run log. Texts are UTF-8 and go out as
// they are; only the characters JSON requires are escaped.
#pragma once

#include <cstdint>
#include <string>

class TJsonLine {
public:
    TJsonLine& Add(const char* key, const std::string& value);
    TJsonLine& Add(const char* key, const char* value) { return Add(key, std::string(value)); }
    TJsonLine& Add(const char* key, int64_t value);
    TJsonLine& Add(const char* key, int32_t value) { return Add(key, static_cast<int64_t>(value)); }
    TJsonLine& Add(const char* key, double value);
    TJsonLine& Add(const char* key, bool value);
    // A value already written as JSON (an array or object).
    TJsonLine& AddRaw(const char* key, const std::string& json);
    // The object with a line end.
    std::string Line() const { return "{" + body_ + "}\n"; }

private:
    TJsonLine& Put(const char* key, const std::string& json);
    std::string body_;
};

std::string JsonQuoted(const std::string& text);
