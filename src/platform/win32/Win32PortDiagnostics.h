#pragma once
// What stands between the program and each COM port, for the operator who
// wonders why no reader was found: every port number 0 to 255 that Windows
// knows, the name Device Manager gives it, whether the program could use
// it, and what SetupAPI tells of the USB adapter behind it.

#include <vector>

#include "PortAdvice.h"
#include "Win32Serial.h"

namespace vm4417 {

// Ports in order of their numbers. A number is known when the system's
// serial-port map, its DOS device names or the Ports device class name it
// (SystemPorts.h); the report's path is the device's friendly name where
// the Ports class gives one, otherwise the system's device name (e.g.
// \Device\Serial2). Each port is checked by Win32SerialPorts::CheckPort,
// the scan's own steps.
std::vector<PortReport> DiagnosePorts(const Win32SerialPorts& ports);

}  // namespace vm4417
