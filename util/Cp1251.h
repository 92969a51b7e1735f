// The settings file and the names in the loader's flash are CP1251; the program works in UTF-8.
#pragma once

#include <string>
#include <string_view>

// A character that CP1251 cannot hold becomes "?", and so does each malformed UTF-8 sequence:
// cut short, overlong, a surrogate, past U+10FFFF, or a byte that starts none.
std::string Utf8ToCp1251(std::string_view utf8);
std::string Cp1251ToUtf8(std::string_view cp1251);
