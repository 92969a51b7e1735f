#include "tests/common/JsonLine.h"

#include <nlohmann/json.hpp>

#include <sstream>

std::optional<JsonObject> ParseJsonObject(const std::string& line)
{
    // nlohmann's parser is strict: it refuses bytes that are not UTF-8 as well as bad syntax.
    nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object()) return std::nullopt;
    JsonObject fields;
    for (const auto& [key, value] : object.items()) {
        if (value.is_string()) fields[key] = value.get<std::string>();
        else if (value.is_number() || value.is_boolean()) fields[key] = value.dump();
        else return std::nullopt;
    }
    return fields;
}

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
