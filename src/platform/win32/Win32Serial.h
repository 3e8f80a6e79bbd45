#pragma once
// Serial ports on Windows. Port n is \\.\COM<n>, opened without sharing; a
// named mutex per port number keeps a second copy of the program in the
// same session off the port even where the system does not enforce
// exclusive opens (Wine). The mutex lives in the session's own namespace:
// a port redirected into a Remote Desktop session is that session's own,
// and another session's COM3 is another device; between sessions the
// exclusive open still guards a physical port.

#include <string>

#include "SerialLine.h"

namespace vm4417 {

class Win32SerialPorts final : public SerialPorts, public PortPresence {
public:
    OpenedLine Open(std::uint8_t number, const PortConfig& config) override;
    // Whether Open could use port `number`: the same claim on the number,
    // the same CreateFileW and the device's line settings read (not
    // changed); everything is closed again at once, the modem lines
    // untouched.
    Status CheckPort(std::uint8_t number) const;

    // The numbers the serial-port map or the Ports class name (the port
    // drivers keep both for the devices that are there), each with its
    // device name and instance id. Under Wine, which names every mapped
    // port all the time, the numbers whose link in the prefix leads to a
    // device instead.
    std::optional<std::vector<PresentPort>> PresentPorts() const override;
    UsbIdentity UsbIdentityOf(std::uint8_t number) const override;

    // \\.\COM<n>: the prefix works for every number, not only above 9.
    static std::wstring DeviceName(std::uint8_t number);
    // The name of the mutex that marks port n as taken in this session.
    static std::wstring MutexName(std::uint8_t number);
};

}  // namespace vm4417
