#include "cli/RunLog.h"
#include "util/Win32Text.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

// Opened for appending only: Windows then puts every write at the end of the file in one piece,
// whatever other processes append meanwhile.
TRunLog::TRunLog(const std::string& path) : fd_(-1)
{
    HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_APPEND | _O_BINARY);
    if (fd_ < 0) CloseHandle(file);
}

std::string HostName()
{
    wchar_t name[256] = {};
    DWORD size = 256;
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return {};
    return Utf8FromWide(std::wstring_view(name, size));
}
