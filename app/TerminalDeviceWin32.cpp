// Windows: a saved port the Plug and Play enumeration does not report (a virtual COM port, a name
// made with DefineDosDevice, wine's links to Linux devices) is a port when the system knows the
// COM name; the device is not opened.
#include "app/TerminalDevice.h"
#include "util/Win32Text.h"

#include <windows.h>

#include <cwctype>
#include <string>

namespace {
// "COM7" out of "COM7" or "\\.\COM7"; empty for anything else.
std::wstring ComName(const std::string& path)
{
    std::wstring name = WideFromUtf8(path);
    if (name.starts_with(L"\\\\.\\")) name.erase(0, 4);
    if (name.size() < 4 || name.size() > 6 || _wcsnicmp(name.c_str(), L"COM", 3) != 0) return {};
    for (size_t i = 3; i < name.size(); ++i)
        if (!std::iswdigit(name[i])) return {};
    return name;
}
} // namespace

bool IsTerminalDevice(const std::string& path)
{
    std::wstring name = ComName(path);
    if (name.empty()) return false;
    wchar_t target[512];
    return QueryDosDeviceW(name.c_str(), target, static_cast<DWORD>(std::size(target))) != 0;
}
