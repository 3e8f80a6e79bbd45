#pragma once
// Serial ports on Linux through termios. Port n is
//   $VM4417_PORT_DIR/COM<n>                       when that variable is set,
//   the first of /dev/ttyUSB<n>, /dev/ttyACM<n>, /dev/ttyS<n> otherwise.
// A device that is the active system console is never opened. The ports
// present, and the USB device behind each, are read without opening any.

#include <optional>
#include <string>
#include <vector>

#include "SerialLine.h"
#include "UsbIdentity.h"

namespace vm4417 {

struct SerialLocations {
    // Directory of COM<n> links; replaces the /dev names when set.
    std::optional<std::string> portDirectory;
    // Where the kernel lists the active consoles, and the directory their
    // names are relative to.
    std::string consoleList = "/sys/class/tty/console/active";
    std::string deviceDirectory = "/dev";
    // Where the USB identity of a tty is read.
    UsbLocations usb{};
};

class TermiosSerialPorts final : public SerialPorts, public PortPresence {
public:
    explicit TermiosSerialPorts(SerialLocations locations) : locations_(std::move(locations)) {}
    // Locations from the environment (VM4417_PORT_DIR).
    static SerialLocations LocationsFromEnvironment();

    OpenedLine Open(std::uint8_t number, const PortConfig& config) override;
    // Whether Open could use port `number`, found by the same steps up to
    // the exclusive open; the device is closed again at once, its line
    // settings and modem lines untouched.
    Status CheckPort(std::uint8_t number) const;

    // The numbers whose device exists (DevicePath), each with its device
    // node and the node's inode: a node made anew for a replugged adapter
    // is a new appearance even under the same name.
    std::optional<std::vector<PresentPort>> PresentPorts() const override;
    UsbIdentity UsbIdentityOf(std::uint8_t number) const override;

    // The device names that port `number` may mean, in order of preference.
    std::vector<std::string> CandidatePaths(std::uint8_t number) const;
    // The first candidate that exists, if any.
    std::optional<std::string> DevicePath(std::uint8_t number) const;
    // True when `path` (after following links) is an active system console.
    bool IsActiveConsole(const std::string& path) const;
    const SerialLocations& Locations() const { return locations_; }

private:
    SerialLocations locations_;
};

}  // namespace vm4417
