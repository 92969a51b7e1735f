#include "cli/Json.h"

#include <nlohmann/json.hpp>

#include <cmath>

TJsonLine::TJsonLine() : object_(std::make_unique<nlohmann::ordered_json>(nlohmann::ordered_json::object())) {}

TJsonLine::~TJsonLine() = default;

TJsonLine& TJsonLine::Add(const char* key, const std::string& value)
{
    (*object_)[key] = value;
    return *this;
}

TJsonLine& TJsonLine::Add(const char* key, int64_t value)
{
    (*object_)[key] = value;
    return *this;
}

TJsonLine& TJsonLine::Add(const char* key, double value)
{
    (*object_)[key] = std::round(value * 1000) / 1000;
    return *this;
}

TJsonLine& TJsonLine::Add(const char* key, bool value)
{
    (*object_)[key] = value;
    return *this;
}

std::string TJsonLine::Line() const
{
    // Russian texts stay readable (no \u escapes); only bytes that are not UTF-8 are replaced.
    return object_->dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
