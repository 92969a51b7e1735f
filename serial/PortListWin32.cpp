// Windows: the COM ports Plug and Play knows, with the USB details of an adapter, without opening a
// port (opening raises an attached board's modem lines). Whether another program holds a port
// cannot be known without opening it, so every port counts as free.
#include "serial/PortList.h"
#include "serial/Serial.h"

#include "util/Win32Text.h"

#include <windows.h>

// The property keys and class GUIDs are defined here, not only declared.
#include <initguid.h>

#include <devguid.h>
#include <devpkey.h>
#include <setupapi.h>

#include <algorithm>
#include <cwctype>

namespace {
std::wstring RegistryText(HKEY key, const wchar_t* name)
{
    wchar_t value[256] = {};
    DWORD size = sizeof value - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return value;
}

std::wstring PortNameOf(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    std::wstring name = RegistryText(key, L"PortName");
    RegCloseKey(key);
    return name;
}

std::wstring InstanceIdOf(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    wchar_t id[512] = {};
    if (!SetupDiGetDeviceInstanceIdW(set, &device, id, 511, nullptr)) return {};
    return id;
}

std::wstring BusProductOf(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    wchar_t text[256] = {};
    DEVPROPTYPE type = 0;
    if (!SetupDiGetDevicePropertyW(set, &device, &DEVPKEY_Device_BusReportedDeviceDesc, &type,
                                   reinterpret_cast<BYTE*>(text), sizeof text - sizeof(wchar_t), nullptr, 0) ||
        type != DEVPROP_TYPE_STRING)
        return {};
    return text;
}

// The four hex digits after `tag` ("VID_") in an instance id, lower case as on Linux.
std::string HexAfter(const std::wstring& id, const wchar_t* tag)
{
    size_t at = id.find(tag);
    if (at == std::wstring::npos || at + 4 + 4 > id.size()) return {};
    std::wstring digits = id.substr(at + 4, 4);
    if (!std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return std::iswxdigit(c) != 0; })) return {};
    for (wchar_t& c : digits) c = static_cast<wchar_t>(std::towlower(c));
    return Utf8FromWide(digits);
}

// A USB device's instance id ends in its serial number ("USB\VID_0403&PID_6001\A700ABCD"), or in a
// made-up id with '&' when it has none; FTDI's own driver puts it after the product id
// ("FTDIBUS\VID_0403+PID_6001+A700ABCDA\0000").
std::string SerialOf(const std::wstring& id)
{
    std::wstring serial;
    if (id.rfind(L"USB\\", 0) == 0) {
        serial = id.substr(id.rfind(L'\\') + 1);
        if (serial.find(L'&') != std::wstring::npos) serial.clear();
    } else if (size_t plus = id.find(L'+', id.find(L"PID_")); plus != std::wstring::npos) {
        serial = id.substr(plus + 1, id.find(L'\\', plus) - plus - 1);
    }
    return Utf8FromWide(serial);
}

PortInfo DescribePort(HDEVINFO set, SP_DEVINFO_DATA& device, const std::wstring& name)
{
    PortInfo info;
    info.Path = Utf8FromWide(name);
    std::wstring id = InstanceIdOf(set, device);
    std::string vid = HexAfter(id, L"VID_"), pid = HexAfter(id, L"PID_");
    if (!vid.empty() && !pid.empty()) {
        info.UsbId = vid + ":" + pid;
        info.Serial = SerialOf(id);
        info.Product = Utf8FromWide(BusProductOf(set, device));
    }
    return info;
}
}   // namespace

std::vector<PortInfo> EnumeratePorts(bool /*findHolders*/)
{
    std::vector<PortInfo> ports;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return ports;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        std::wstring name = PortNameOf(set, device);
        if (name.rfind(L"COM", 0) != 0) continue;   // LPT ports share the class
        ports.push_back(DescribePort(set, device, name));
    }
    SetupDiDestroyDeviceInfoList(set);
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return NaturalLess(a.Path, b.Path); });
    return ports;
}
