#pragma once
// The operator's words for why a serial port cannot be used, with the fix
// where there is one, and the system's own words after them.

#include <cstdint>
#include <string>

#include "Status.h"

namespace vm4417 {

// "nemáte oprávnění port otevřít (open /dev/ttyUSB0: Permission denied);
// náprava: ..." for a failure, "lze použít" for success.
std::string PortStatusText(const Status& status);

// One line of the port list: port name, device, and what PortStatusText says.
std::string PortListLine(std::uint8_t number, const std::string& path, const Status& status);

}  // namespace vm4417
