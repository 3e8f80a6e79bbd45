#pragma once
// Serial ports on Windows. Port n is \\.\COM<n>, opened without sharing; a
// named mutex per port number keeps a second copy of the program off the
// port even where the system does not enforce exclusive opens (Wine).

#include <string>

#include "SerialLine.h"

namespace vm4417 {

class Win32SerialPorts final : public SerialPorts {
public:
    OpenedLine Open(std::uint8_t number, const PortConfig& config) override;
    // Whether Open could use port `number`: the same claim on the number,
    // the same CreateFileW and the device's line settings read (not
    // changed); everything is closed again at once, the modem lines
    // untouched.
    Status CheckPort(std::uint8_t number) const;

    // \\.\COM<n>: the prefix works for every number, not only above 9.
    static std::wstring DeviceName(std::uint8_t number);
    // The name of the mutex that marks port n as taken.
    static std::wstring MutexName(std::uint8_t number);
};

}  // namespace vm4417
