#include "Win32PortDiagnostics.h"

#include "SystemPorts.h"
#include "WideText.h"

namespace vm4417 {

namespace {

std::string PathOf(std::uint8_t number, const win32::SystemPort& port) {
    if (!port.friendlyName.empty()) return win32::Utf8(port.friendlyName);
    if (!port.device.empty()) return win32::Utf8(port.device);
    return win32::Utf8(Win32SerialPorts::DeviceName(number));
}

}  // namespace

std::vector<PortReport> DiagnosePorts(const Win32SerialPorts& ports) {
    win32::SystemPorts known;
    win32::AddSerialMap(known);
    win32::AddDosDevices(known);
    win32::AddPortsClass(known, true);
    std::vector<PortReport> reports;
    for (const auto& [number, port] : known) {
        reports.push_back({number, PathOf(number, port), ports.CheckPort(number), port.usb});
    }
    return reports;
}

}  // namespace vm4417
