// Windows: its wide-character calls take and give UTF-16; the program's strings are UTF-8.
#pragma once

#include <string>
#include <string_view>

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
// The system's own text for an error code (GetLastError), in the user's language, without the
// closing full stop and line end, as strerror gives it on Linux.
std::string SystemErrorText(unsigned long code);
