#include "Win32PortDiagnostics.h"

#include <windows.h>

// Defines the device class GUIDs of devguid.h in this file.
#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>

#include <cwctype>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "WideText.h"

namespace vm4417 {

namespace {

struct PortNames {
    std::wstring device;        // \Device\Serial0, from the DOS device or the serial map
    std::wstring friendlyName;  // "Communications Port (COM1)", from the Ports class
};

using KnownPorts = std::map<std::uint8_t, PortNames>;

// "COM3" (any case) gives 3; anything else, and numbers above 255, nothing.
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

// A registry string without the terminating zeros it may or may not have.
std::wstring RegistryString(const wchar_t* data, DWORD bytes) {
    std::wstring value(data, bytes / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
}

// The serial-port map: one value per port, named after the device, its data
// the COM name.
void AddSerialMap(KnownPorts& known) {
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
            known[*number].device = std::wstring(name, nameLength);
        }
    }
    RegCloseKey(key);
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

void AddDosDevices(KnownPorts& known) {
    const std::wstring names = DosDeviceNames();
    for (std::size_t start = 0; start < names.size();) {
        const std::size_t end = names.find(L'\0', start);
        const std::wstring name = names.substr(start, end - start);
        start = end == std::wstring::npos ? names.size() : end + 1;
        const auto number = ComNumber(name);
        if (!number) continue;
        wchar_t target[1024];
        PortNames& port = known[*number];
        if (port.device.empty() && QueryDosDeviceW(name.c_str(), target, 1024) != 0) {
            port.device = target;
        }
    }
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

// The present devices of the Ports class ("Porty (COM a LPT)").
void AddPortsClass(KnownPorts& known) {
    const HDEVINFO set =
        SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        if (const auto number = ComNumber(PortNameOf(set, device))) {
            known[*number].friendlyName = DeviceProperty(set, device, SPDRP_FRIENDLYNAME);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
}

std::string PathOf(std::uint8_t number, const PortNames& names) {
    if (!names.friendlyName.empty()) return win32::Utf8(names.friendlyName);
    if (!names.device.empty()) return win32::Utf8(names.device);
    return win32::Utf8(Win32SerialPorts::DeviceName(number));
}

}  // namespace

std::vector<PortReport> DiagnosePorts(const Win32SerialPorts& ports) {
    KnownPorts known;
    AddSerialMap(known);
    AddDosDevices(known);
    AddPortsClass(known);
    std::vector<PortReport> reports;
    for (const auto& [number, names] : known) {
        reports.push_back({number, PathOf(number, names), ports.CheckPort(number)});
    }
    return reports;
}

}  // namespace vm4417
