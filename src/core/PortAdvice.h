#pragma once
// The operator's words for why a serial port cannot be used, with the fix
// where there is one, and the system's own words after them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "SerialLine.h"
#include "Status.h"

namespace vm4417 {

// One port of the list, as a system's port check found it.
struct PortReport {
    std::uint8_t number = 0;
    std::string path;   // what the number leads to: a device, a link, the system's name for it
    Status status;      // Ok when the program could open the port
    UsbIdentity usb{};  // what the system tells of the USB device behind it
};

// "nemáte oprávnění port otevřít (open /dev/ttyUSB0: Permission denied);
// náprava: ..." for a failure, "lze použít" for success.
std::string PortStatusText(const Status& status);

// One line of the port list: port name, device, and what PortStatusText says.
std::string PortListLine(std::uint8_t number, const std::string& path, const Status& status);

// "USB 0403:6001, sériové číslo A50285BI, místo 1-1.2, název usb-FTDI_…":
// the parts the system told, so that two adapters can be told apart; empty
// when it told none.
std::string UsbIdentityText(const UsbIdentity& usb);

// The whole list: a heading and a line per report, each followed by an
// indented line with its USB identity where the system gives one, or, without any, that no
// port was found and where (`searched`) the system looked.
std::string PortListText(const std::vector<PortReport>& reports, std::string_view searched);

}  // namespace vm4417
