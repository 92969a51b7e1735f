// The user's choices between runs: one settings record, kept in "Mirvolen.ini".
#pragma once

#include "util/Problem.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Strings are UTF-8 in memory; the file holds CP1251 bytes.
struct TSettings {
    std::array<int32_t, 4> Position{};   // left, top, right, bottom
    std::string LastDir;
    std::string FileName;
    std::string LastFontDir;
    std::string Port;
    std::string FontFile;
    bool IncludeFont = false;
    std::string RomName;
};

constexpr const char* SettingsFileName = "Mirvolen.ini";

// Folder of the running program's file, with a trailing "/".
std::string ProgramDir();
// Where the settings live: the program's folder when it is writable, otherwise the user's
// configuration folder (created on demand), so an installed program still keeps its settings.
// Empty when the user has no home folder to hold one: then there is no settings file.
std::string DefaultSettingsPath();

// A missing, unreadable or malformed file (or an empty path) leaves the fields it could not read
// empty. Read as every file the user names is: a regular file, at most SettingsFileLimit bytes.
void LoadSettings(TSettings& set, const std::string& path);
constexpr size_t SettingsFileLimit = 1 << 20;
// Writes a temporary file beside the old one and renames it over it (ReplaceFile), so a failed
// save (full disk, read-only folder, crash) never leaves a truncated file, and a file the user
// made read-only is not written. Empty when saved, else why not; the front end tells the user.
TMaybeProblem SaveSettings(const TSettings& set, const std::string& path);

std::string FourIntsToText(const std::array<int32_t, 4>& values);
void TextToFourInts(std::string_view text, std::array<int32_t, 4>& values);
std::vector<std::string> SplitTopLevel(std::string_view text, char separator);
// 1-based position of sub in text outside quotes and brackets; 0 when there is none.
size_t FindTopLevel(std::string_view sub, std::string_view text);
// One item of a comma list as a signed 32-bit number ("+5", "-5", "$1F", "0x1f"); see the .cpp.
int32_t ItemToInt(std::string_view item);
