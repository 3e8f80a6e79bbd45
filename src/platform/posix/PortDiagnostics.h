#pragma once
// What stands between the program and each serial port, for the operator who
// wonders why no reader was found: every port number that names something in
// the file system, the device it means and whether the program could use it.

#include <cstdint>
#include <string>
#include <vector>

#include "PortAdvice.h"
#include "TermiosSerial.h"

namespace vm4417 {

// Ports 0 to 255 in order. Numbers whose names do not exist at all are left
// out; a link that leads nowhere is reported as missing. Each port is checked
// by the same steps as an open, so nothing is opened that a start-up scan
// would not open, and never the console.
std::vector<PortReport> DiagnosePorts(const TermiosSerialPorts& ports);

}  // namespace vm4417
