// Reading the JSON Lines flasher-cli prints: each line one flat object (string, number, true,
// false values). A line that is not such an object, or not strict JSON in UTF-8, does not parse.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

using JsonObject = std::map<std::string, std::string>;   // strings decoded; numbers and booleans as written

std::optional<JsonObject> ParseJsonObject(const std::string& line);

// Every non-empty line of `text`; nullopt when any of them does not parse.
std::optional<std::vector<JsonObject>> ParseJsonLines(const std::string& text);
