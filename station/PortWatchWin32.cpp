// Windows: a slot is bound to a COM name, a device instance id (USB\VID_0403&PID_6001\A700ABCD,
// what by-id means here) or a location path (PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(2)),
// which names the physical socket whatever COM number the adapter gets. A light poll of Plug and
// Play's present ports (twice a second) notices adapters coming and going: a few SetupAPI calls,
// no busy loop.
#include "station/PortWatch.h"
#include "station/StationFile.h"

#include "util/Win32Text.h"

#include <windows.h>

#include <initguid.h>

#include <cfgmgr32.h>
#include <devguid.h>
#include <devpkey.h>
#include <setupapi.h>

#include <algorithm>
#include <cwctype>

namespace {
constexpr DWORD PollMs = 500;
constexpr int AncestorLevels = 3;   // the port's node, its USB interface, its USB device

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

std::wstring PlainComName(const std::string& port)
{
    std::wstring name = Upper(WideFromUtf8(port));
    if (name.rfind(L"\\\\.\\", 0) == 0) name = name.substr(4);
    return name;
}

std::wstring RegistryPortName(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t value[64] = {};
    DWORD size = sizeof value - sizeof(wchar_t), type = 0;
    LONG read = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ ? std::wstring(value) : std::wstring();
}

// The instance id and the location paths of a device node.
bool NodeMatches(DEVINST node, TSlotBinding binding, const std::wstring& wanted)
{
    if (binding == TSlotBinding::ById) {
        wchar_t id[MAX_DEVICE_ID_LEN] = {};
        return CM_Get_Device_IDW(node, id, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS && Upper(id) == wanted;
    }
    wchar_t paths[2048] = {};
    ULONG size = sizeof paths - 2 * sizeof(wchar_t);
    DEVPROPTYPE type = 0;
    if (CM_Get_DevNode_PropertyW(node, &DEVPKEY_Device_LocationPaths, &type, reinterpret_cast<BYTE*>(paths), &size,
                                 0) != CR_SUCCESS ||
        type != DEVPROP_TYPE_STRING_LIST)
        return false;
    for (const wchar_t* path = paths; *path; path += wcslen(path) + 1)
        if (Upper(path) == wanted) return true;
    return false;
}

bool DeviceMatches(DEVINST node, TSlotBinding binding, const std::wstring& wanted)
{
    for (int level = 0; level < AncestorLevels; ++level) {
        if (NodeMatches(node, binding, wanted)) return true;
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) return false;
        node = parent;
    }
    return false;
}
}   // namespace

TSlotBinding BindingOf(const std::string& port)
{
    std::wstring name = Upper(WideFromUtf8(port));
    if (name.find(L'#') != std::wstring::npos && name.find(L'(') != std::wstring::npos) return TSlotBinding::Socket;
    if (name.find(L'\\') != std::wstring::npos && name.rfind(L"\\\\.\\", 0) != 0) return TSlotBinding::ById;
    return TSlotBinding::PortName;
}

namespace {
struct TPresentPort {
    std::wstring Name;   // COM7
    DEVINST Node;
};

std::vector<TPresentPort> PresentPorts()
{
    std::vector<TPresentPort> ports;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return ports;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        std::wstring name = RegistryPortName(set, device);
        if (name.rfind(L"COM", 0) == 0) ports.push_back({Upper(name), device.DevInst});
    }
    SetupDiDestroyDeviceInfoList(set);
    return ports;
}

// A COM name is there when the object manager knows it: Plug and Play's ports, and also names
// that other drivers (and wine's dosdevices) make.
bool DosNameExists(const std::wstring& name)
{
    wchar_t target[1024];
    return QueryDosDeviceW(name.c_str(), target, 1024) != 0;
}

std::string DeviceAmong(const std::string& port, const std::vector<TPresentPort>& present)
{
    TSlotBinding binding = BindingOf(port);
    std::wstring wanted = binding == TSlotBinding::PortName ? PlainComName(port) : Upper(WideFromUtf8(port));
    if (binding == TSlotBinding::PortName) return DosNameExists(wanted) ? Utf8FromWide(wanted) : std::string();
    for (const TPresentPort& candidate : present) {
        if (DeviceMatches(candidate.Node, binding, wanted)) return Utf8FromWide(candidate.Name);
    }
    return {};
}
}   // namespace

std::string PresentDevice(const std::string& port) { return DeviceAmong(port, PresentPorts()); }

struct TPortWatch::TImpl {
    std::vector<std::string> Ports;
    std::vector<uint64_t> Removals;
    std::vector<std::string> Devices;
    HANDLE WakeEvent = nullptr;

    // One enumeration for every slot.
    void Look()
    {
        std::vector<TPresentPort> present = PresentPorts();
        for (size_t i = 0; i < Ports.size(); ++i) {
            std::string device = DeviceAmong(Ports[i], present);
            if (!Devices[i].empty() && device != Devices[i]) ++Removals[i];
            Devices[i] = device;
        }
    }
};

TPortWatch::TPortWatch(std::vector<std::string> ports) : impl_(std::make_unique<TImpl>())
{
    impl_->Removals.assign(ports.size(), 0);
    impl_->Devices.assign(ports.size(), {});
    impl_->Ports = std::move(ports);
}

TPortWatch::~TPortWatch()
{
    if (impl_->WakeEvent) CloseHandle(impl_->WakeEvent);
}

bool TPortWatch::Start(std::string& error)
{
    impl_->WakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!impl_->WakeEvent) {
        error = "CreateEvent: " + std::to_string(GetLastError());
        return false;
    }
    impl_->Look();
    return true;
}

void TPortWatch::Wait(int64_t ms)
{
    DWORD limit = ms < 0 ? PollMs : static_cast<DWORD>(std::min<int64_t>(ms, PollMs));
    WaitForSingleObject(impl_->WakeEvent, limit);
    impl_->Look();
}

void TPortWatch::Wake() { SetEvent(impl_->WakeEvent); }

uint64_t TPortWatch::Removals(size_t index) const { return impl_->Removals[index]; }

std::string TPortWatch::Device(size_t index) const { return impl_->Devices[index]; }
