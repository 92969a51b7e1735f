// The FTDI driver's latency timer on Windows: a value of the device's registry parameters, read
// here and only advised on (changing it needs administrator rights).
#include "serial/LowLatencyPlatform.h"

#include "util/Win32Text.h"

#include <wchar.h>
#include <windows.h>

namespace {
const wchar_t* const FtdiDevices = L"SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS";

// "COM5" and "\\.\COM5" name the same port.
std::wstring BarePort(const std::string& port)
{
    std::wstring wide = WideFromUtf8(port);
    return wide.rfind(L"\\\\.\\", 0) == 0 ? wide.substr(4) : wide;
}

std::wstring SubkeyAt(HKEY key, DWORD index)
{
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return {};
    return std::wstring(name, length);
}

// The Device Parameters of one device instance: its PortName and LatencyTimer.
bool InstanceLatency(const std::wstring& path, const std::wstring& port, DWORD& timer)
{
    HKEY params = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &params) != ERROR_SUCCESS) return false;
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    bool found = RegGetValueW(params, nullptr, L"PortName", RRF_RT_REG_SZ, nullptr, name, &size) == ERROR_SUCCESS &&
                 _wcsicmp(name, port.c_str()) == 0;
    size = sizeof timer;
    found = found &&
            RegGetValueW(params, nullptr, L"LatencyTimer", RRF_RT_REG_DWORD, nullptr, &timer, &size) == ERROR_SUCCESS;
    RegCloseKey(params);
    return found;
}
}   // namespace

TAdapterLatency FtdiLatencyWin32(const std::string& port)
{
    HKEY devices = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, FtdiDevices, 0, KEY_READ, &devices) != ERROR_SUCCESS) return {};
    const std::wstring bare = BarePort(port);
    TAdapterLatency latency;
    for (DWORD d = 0; !latency.Known(); ++d) {
        std::wstring device = SubkeyAt(devices, d);
        if (device.empty()) break;
        HKEY instances = nullptr;
        std::wstring devicePath = std::wstring(FtdiDevices) + L"\\" + device;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, devicePath.c_str(), 0, KEY_READ, &instances) != ERROR_SUCCESS) continue;
        for (DWORD i = 0; !latency.Known(); ++i) {
            std::wstring instance = SubkeyAt(instances, i);
            if (instance.empty()) break;
            std::wstring path = devicePath + L"\\" + instance + L"\\Device Parameters";
            DWORD timer = 0;
            if (InstanceLatency(path, bare, timer))
                latency = {static_cast<int32_t>(timer), "HKLM\\" + Utf8FromWide(path)};
        }
        RegCloseKey(instances);
    }
    RegCloseKey(devices);
    return latency;
}

std::string LatencyAdvice(const TAdapterLatency& latency)
{
    return "в Диспетчере устройств откройте свойства порта, «Параметры порта» → «Дополнительно», и поставьте "
           "«Время задержки (мс)» 1 (нужны права администратора; это значение LatencyTimer в " +
           latency.Setting() + ").";
}
