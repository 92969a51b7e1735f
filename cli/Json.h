// One JSON object on one line, for --json output and the run log. Fields keep the order they are
// added in. Texts are UTF-8, but a file or device name may hold any bytes (Linux allows them): a
// byte that is not UTF-8 goes out as U+FFFD, so every line parses whatever it carries.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <memory>
#include <string>

class TJsonLine {
public:
    TJsonLine();
    ~TJsonLine();
    TJsonLine(const TJsonLine&) = delete;
    TJsonLine& operator=(const TJsonLine&) = delete;

    TJsonLine& Add(const char* key, const std::string& value);
    TJsonLine& Add(const char* key, const char* value) { return Add(key, std::string(value)); }
    TJsonLine& Add(const char* key, int64_t value);
    TJsonLine& Add(const char* key, int32_t value) { return Add(key, static_cast<int64_t>(value)); }
    // Rounded to milliseconds: durations say no more than that.
    TJsonLine& Add(const char* key, double value);
    TJsonLine& Add(const char* key, bool value);
    // The object with a line end.
    std::string Line() const;

private:
    std::unique_ptr<nlohmann::ordered_json> object_;
};
