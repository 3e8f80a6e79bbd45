#pragma once
// Which COM ports lead to a device under Wine. Wine names every port its
// registry maps in the system's lists, whether or not anything is behind
// it; what decides is the port's link in the prefix's dosdevices folder
// (com3 -> /dev/ttyUSB0). Read without opening any device.

#include <cstdint>
#include <optional>
#include <set>

namespace vm4417::win32 {

// Whether the program runs under Wine (its ntdll names Wine's version).
bool UnderWine();

// The numbers whose dosdevices link leads to something; nothing when the
// folder cannot be found.
std::optional<std::set<std::uint8_t>> WineLinkedPorts();

}  // namespace vm4417::win32
