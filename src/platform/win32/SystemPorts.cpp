#include "SystemPorts.h"

#include <windows.h>

// Defines the device class GUIDs of devguid.h in this file.
#include <initguid.h>

#include <cfgmgr32.h>
#include <devguid.h>
#include <setupapi.h>

#include <cwctype>
#include <limits>

#include "WideText.h"

namespace vm4417::win32 {

namespace {

// A registry string without the terminating zeros it may or may not have.
std::wstring RegistryString(const wchar_t* data, DWORD bytes) {
    std::wstring value(data, bytes / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
}

// Every DOS device name, as one list of zero-terminated names.
std::wstring DosDeviceNames() {
    std::wstring names(1 << 16, L'\0');
    while (names.size() <= (1u << 22)) {
        const DWORD length =
            QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
        if (length != 0) {
            names.resize(length);
            return names;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        names.resize(names.size() * 2);
    }
    return {};
}

std::wstring DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t value[512];
    DWORD type = 0;
    DWORD bytes = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                           reinterpret_cast<BYTE*>(value), sizeof value, &bytes) ||
        type != REG_SZ) {
        return {};
    }
    return RegistryString(value, bytes);
}

// The device's COM name, kept in its hardware key.
std::wstring PortNameOf(HDEVINFO set, SP_DEVINFO_DATA& device) {
    const HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t value[64];
    DWORD bytes = sizeof value;
    DWORD type = 0;
    const LONG result =
        RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? RegistryString(value, bytes) : L"";
}

std::wstring InstanceIdOf(DEVINST node) {
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    return CM_Get_Device_IDW(node, id, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS ? std::wstring(id)
                                                                           : std::wstring();
}

// The port's own node when it is a USB device (a modem class driver), else
// the nearest USB device above it (an adapter whose bus driver made the
// port, e.g. FTDIBUS\...).
std::optional<DEVINST> UsbNodeOf(DEVINST node) {
    for (int depth = 0; depth < 8; ++depth) {
        if (InstanceIdOf(node).starts_with(L"USB\\")) return node;
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) return std::nullopt;
        node = parent;
    }
    return std::nullopt;
}

std::wstring LocationOf(DEVINST node) {
    wchar_t value[256] = {};
    ULONG bytes = sizeof value;
    ULONG type = 0;
    if (CM_Get_DevNode_Registry_PropertyW(node, CM_DRP_LOCATION_INFORMATION, &type, value, &bytes,
                                          0) != CR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return RegistryString(value, bytes);
}

UsbIdentity UsbOfPort(const SP_DEVINFO_DATA& device, const std::wstring& instanceId) {
    UsbIdentity usb;
    if (const auto node = UsbNodeOf(device.DevInst)) {
        usb = UsbIdentityOfInstance(InstanceIdOf(*node));
        usb.location = Utf8(LocationOf(*node));
    }
    usb.name = Utf8(instanceId);
    return usb;
}

// Four hexadecimal digits after `key` ("VID_"), in lower case.
std::string HexAfter(std::wstring_view id, std::wstring_view key) {
    const std::size_t at = id.find(key);
    if (at == std::wstring_view::npos || at + key.size() + 4 > id.size()) return {};
    std::string digits;
    for (const wchar_t c : id.substr(at + key.size(), 4)) {
        if (!std::iswxdigit(c)) return {};
        digits += static_cast<char>(std::towlower(c));
    }
    return digits;
}

}  // namespace

std::optional<std::uint8_t> ComNumber(std::wstring_view name) {
    if (name.size() < 4 || name.size() > 6) return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::towupper(name[i]) != L"COM"[i]) return std::nullopt;
    }
    unsigned value = 0;
    for (const wchar_t c : name.substr(3)) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    if (value > std::numeric_limits<std::uint8_t>::max()) return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

UsbIdentity UsbIdentityOfInstance(std::wstring_view usbInstanceId) {
    UsbIdentity usb;
    const std::string vendor = HexAfter(usbInstanceId, L"VID_");
    const std::string product = HexAfter(usbInstanceId, L"PID_");
    if (!vendor.empty() && !product.empty()) usb.vendorProduct = vendor + ":" + product;
    const std::size_t slash = usbInstanceId.rfind(L'\\');
    if (slash != std::wstring_view::npos && slash + 1 < usbInstanceId.size()) {
        const std::wstring_view last = usbInstanceId.substr(slash + 1);
        if (last.find(L'&') == std::wstring_view::npos) usb.serialNumber = Utf8(std::wstring(last));
    }
    return usb;
}

// The serial-port map: one value per port, named after the device, its data
// the COM name.
void AddSerialMap(SystemPorts& ports) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[512];
        wchar_t data[64];
        DWORD nameLength = 512;
        DWORD dataBytes = sizeof data;
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        if (const auto number = ComNumber(RegistryString(data, dataBytes))) {
            ports[*number].device = std::wstring(name, nameLength);
        }
    }
    RegCloseKey(key);
}

void AddDosDevices(SystemPorts& ports) {
    const std::wstring names = DosDeviceNames();
    for (std::size_t start = 0; start < names.size();) {
        const std::size_t end = names.find(L'\0', start);
        const std::wstring name = names.substr(start, end - start);
        start = end == std::wstring::npos ? names.size() : end + 1;
        const auto number = ComNumber(name);
        if (!number) continue;
        wchar_t target[1024];
        SystemPort& port = ports[*number];
        if (port.device.empty() && QueryDosDeviceW(name.c_str(), target, 1024) != 0) {
            port.device = target;
        }
    }
}

void AddPortsClass(SystemPorts& ports, bool withUsb) {
    const HDEVINFO set =
        SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        const auto number = ComNumber(PortNameOf(set, device));
        if (!number) continue;
        SystemPort& port = ports[*number];
        port.friendlyName = DeviceProperty(set, device, SPDRP_FRIENDLYNAME);
        port.instanceId = InstanceIdOf(device.DevInst);
        if (withUsb) port.usb = UsbOfPort(device, port.instanceId);
    }
    SetupDiDestroyDeviceInfoList(set);
}

}  // namespace vm4417::win32
