#include "util/PathName.h"
#include "util/Settings.h"
#include "util/SettingsPlatform.h"
#include "util/Win32Text.h"

#include <windows.h>

#include <shlobj.h>

#include <string>

std::string ProgramDir()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return ".\\";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return FolderOf(Utf8FromWide(path));
}

// Whether a file can be made in `dir`: access rights and read-only folders (Program Files without
// elevation) are only known by trying.
// Windows has no system program folder a user could write: a copy beside its settings is the
// user's own.
bool IsSystemProgramDir(const std::string&) { return false; }

bool IsWritableDir(const std::string& dir)
{
    std::wstring probe = WideFromUtf8(dir) + L"flasher-probe-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

std::string UserSettingsDir()
{
    wchar_t* appData = nullptr;
    std::wstring base;
    if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &appData) == S_OK) base = appData;
    CoTaskMemFree(appData);
    if (base.empty()) return ".\\";
    std::wstring own = base + L"\\flasher\\";
    CreateDirectoryW(own.c_str(), nullptr);
    return Utf8FromWide(own);
}
