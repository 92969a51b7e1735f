#include "util/InputFile.h"
#include "util/Win32Text.h"

#include <windows.h>

namespace {
TProblemKind OpenProblem(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH: return TProblemKind::Missing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return TProblemKind::NoPermission;
    default: return TProblemKind::Unreadable;
    }
}

// A reserved device name ("COM1", "NUL", "\\.\pipe\x") is refused without opening it: opening a
// port would raise an attached board's modem lines.
bool NamesDevice(const std::wstring& path)
{
    std::wstring full(32768, L'\0');
    DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    return n > 0 && n < full.size() && full.compare(0, 4, L"\\\\.\\") == 0;
}

// A disk file and not a folder: a pipe, a console or a device (COM1, NUL) is refused before a
// byte is read, as it could block or never end.
std::optional<TProblemKind> KindProblem(HANDLE h)
{
    if (GetFileType(h) != FILE_TYPE_DISK) return TProblemKind::NotRegular;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) return TProblemKind::Unreadable;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return TProblemKind::NotRegular;
    return std::nullopt;
}

// Reads at most one byte past `maxBytes`: a file that grew since it was measured is still refused.
std::optional<TProblemKind> ReadAll(HANDLE h, size_t maxBytes, std::vector<uint8_t>& bytes)
{
    uint8_t chunk[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h, chunk, sizeof chunk, &n, nullptr)) return TProblemKind::Unreadable;
        if (n == 0) return std::nullopt;
        if (bytes.size() + n > maxBytes) return TProblemKind::TooLarge;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
}
}   // namespace

TMaybeProblem ReadInputFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    std::wstring wide = WideFromUtf8(path);
    if (NamesDevice(wide)) return InputFileProblem(TProblemKind::NotRegular, maxBytes);
    // Backup semantics let a folder be opened, so that it is named as "not a file", not as denied.
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return InputFileProblem(OpenProblem(GetLastError()), maxBytes);
    std::optional<TProblemKind> problem = KindProblem(h);
    LARGE_INTEGER size{};
    if (!problem) {
        if (!GetFileSizeEx(h, &size)) problem = TProblemKind::Unreadable;
        else if (static_cast<uint64_t>(size.QuadPart) > maxBytes) problem = TProblemKind::TooLarge;
        else problem = ReadAll(h, maxBytes, bytes);
    }
    CloseHandle(h);
    if (!problem) return std::nullopt;
    bytes.clear();
    return InputFileProblem(*problem, maxBytes);
}
