#pragma once
// The COM ports Windows knows, by number, and where each name comes from:
// the serial-port map (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM), which the port
// drivers keep for the devices that are there; the DOS device names; and
// the present devices of the Ports class ("Porty (COM a LPT)"), with what
// SetupAPI tells of the USB device behind each.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "SerialLine.h"

namespace vm4417::win32 {

struct SystemPort {
    std::wstring device;        // \Device\Serial0, from the serial map or the DOS device
    std::wstring friendlyName;  // "USB Serial Port (COM3)", from the Ports class
    std::wstring instanceId;    // the Ports class device's instance id
    UsbIdentity usb;            // read only when asked for
};

using SystemPorts = std::map<std::uint8_t, SystemPort>;

// "COM3" (any case) gives 3; anything else, and numbers above 255, nothing.
std::optional<std::uint8_t> ComNumber(std::wstring_view name);

// What each source names, added to `ports`.
void AddSerialMap(SystemPorts& ports);
void AddDosDevices(SystemPorts& ports);
// `withUsb`: the USB identity of each device is read too (its instance id,
// the nearest USB device above it, that device's place on the hub).
void AddPortsClass(SystemPorts& ports, bool withUsb);

// The USB identity in a USB device's instance id:
// "USB\VID_0403&PID_6001\A50285BI" gives 0403:6001 and the serial number
// A50285BI; an id whose last part Windows made up ("5&2a3b4c5d&0&2", with
// '&') has none.
UsbIdentity UsbIdentityOfInstance(std::wstring_view usbInstanceId);

}  // namespace vm4417::win32
