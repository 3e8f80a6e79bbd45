#pragma once
// What Linux tells of the USB device behind a tty: sysfs gives the device's
// vendor and product, serial number and place on the bus (the way udev and
// serial tools read it), udev's /dev/serial/by-id gives its lasting name.
// Both are read through roots of their own, so that a test can hand in a
// tree of its own making.

#include <string>

#include "SerialLine.h"

namespace vm4417 {

struct UsbLocations {
    std::string sysfsRoot = "/sys";
    std::string serialById = "/dev/serial/by-id";
};

// `device` is the port's device node (links followed first). Parts the
// system does not tell stay empty: a built-in port or a pseudo-terminal has
// none.
UsbIdentity ReadUsbIdentity(const std::string& device, const UsbLocations& locations);

}  // namespace vm4417
