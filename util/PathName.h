// Path helpers. "/" and "\" both separate folders, so names saved on either platform split right.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

bool IsPathSeparator(char c);
std::string FileNameOf(std::string_view path);   // after the last separator
std::string FolderOf(std::string_view path);     // up to and including the last separator
std::string ExtOf(std::string_view name);        // after the last "." that no separator follows
// 1-based pair of a "description|pattern|..." filter whose pattern holds "*.<ext>"; 1 otherwise.
int32_t FilterIndexOf(std::string_view filter, std::string_view extension);
