#include "util/AtomicFile.h"
#include "util/Win32Text.h"

#include <windows.h>
// <windows.h> names its own ReplaceFile (ReplaceFileW) by a macro.
#undef ReplaceFile

#include <algorithm>

namespace {
bool WriteAll(HANDLE h, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// A read-only file is one the user protected: it is not replaced behind their back (MoveFileExW
// would refuse it too, with a less telling "access denied").
bool IsReadOnly(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}
}   // namespace

TMaybeProblem ReplaceFile(const std::string& path, std::string_view bytes)
{
    std::wstring target = WideFromUtf8(path);
    if (IsReadOnly(target))
        return TProblem(TProblemKind::NoPermission, path + ": файл защищён от записи (только для чтения)");
    std::string tempName = path + ".tmp";
    std::wstring temp = WideFromUtf8(tempName);
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = h != INVALID_HANDLE_VALUE && WriteAll(h, bytes) && FlushFileBuffers(h);
    DWORD saved = GetLastError();
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (ok && MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return std::nullopt;
    if (ok) saved = GetLastError();
    if (h != INVALID_HANDLE_VALUE) DeleteFileW(temp.c_str());
    return TProblem(TProblemKind::Unwritable,
                    (h == INVALID_HANDLE_VALUE ? tempName : path) + ": " + SystemErrorText(saved));
}
