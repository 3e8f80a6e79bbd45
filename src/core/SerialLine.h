#pragma once
// The serial line to the reader, as a raw byte transport. The protocol on top
// of it lives in Drv232; backends (termios, Win32) implement this.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Status.h"

namespace vm4417 {

struct LineSettings {
    int baudRate = 9600;
    int dataBits = 8;
    bool parity = false;
    int stopBits = 1;
};

// Read time-outs in the style of a serial driver: a read of n bytes ends when
// all n bytes are there, or `perByte * n + constant` after it started, or
// `interByte` after the latest byte once at least one byte has arrived.
struct ReadTimeouts {
    std::chrono::milliseconds interByte{0};
    std::chrono::milliseconds perByte{0};
    std::chrono::milliseconds constant{0};
};

struct PortConfig {
    LineSettings line;
    ReadTimeouts timeouts;
    bool raiseModemLines = true;  // RTS then DTR on open, dropped on close
};

// An open, configured port. Destroying it closes the device without touching
// the modem lines.
class SerialLine {
public:
    virtual ~SerialLine() = default;

    // Sends every byte or reports failure; bounded in time so that a stuck
    // line cannot block the caller for ever.
    virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
    // Reads at most `count` bytes under the configured read time-outs and
    // returns what arrived (possibly fewer, possibly none). Bytes that arrive
    // later stay buffered for the next read: nothing is ever discarded.
    virtual std::vector<std::uint8_t> Read(std::size_t count) = 0;
    // Drops DTR, then RTS. True when both succeeded (a device without modem
    // lines counts as success).
    virtual bool DropModemLines() = 0;
    // True once the line has seen its device go away (hang-up, unplugged,
    // removed). From then on every Write and Read fails at once; only a new
    // Open of the port can bring the reader back.
    virtual bool IsLost() const = 0;
};

// A port as Open leaves it: a line exactly when the status is Ok.
struct OpenedLine {
    std::unique_ptr<SerialLine> line;
    Status status;
};

// Opens ports by number. Which device a number means is the backend's
// business (a COM name on Windows, a tty node or a test directory on Linux).
class SerialPorts {
public:
    virtual ~SerialPorts() = default;

    // Opens port `number` exclusively and configures it. Every step is
    // attempted; no line unless all succeeded, and then the status says why
    // (the first failure). A failed attempt leaves nothing open.
    virtual OpenedLine Open(std::uint8_t number, const PortConfig& config) = 0;
};

// What the system tells of the USB device behind a port. Every part may be
// empty: a built-in port or a pseudo-terminal has none, a cheap adapter has
// no serial number, Wine tells nothing.
struct UsbIdentity {
    std::string vendorProduct;  // "0403:6001"
    std::string serialNumber;   // the adapter's own serial number
    // Where the adapter is plugged in: the bus path ("1-1.2") on Linux, the
    // hub and port ("Port_#0002.Hub_#0003") on Windows.
    std::string location;
    // The system's lasting name for the device: the /dev/serial/by-id link
    // on Linux, the device instance id on Windows.
    std::string name;

    bool Known() const {
        return !vendorProduct.empty() || !serialNumber.empty() || !location.empty() ||
               !name.empty();
    }
    bool operator==(const UsbIdentity&) const = default;
};

// A port number that leads to a device at the moment.
struct PresentPort {
    std::uint8_t number = 0;
    // What the number leads to (a device node, a link's target, the
    // system's device name); the same number leading to another device
    // later is a new appearance.
    std::string device;
};

// Which ports lead to a device now, found without opening any.
class PortPresence {
public:
    virtual ~PortPresence() = default;

    // The ports present now, in order of their numbers; nothing when the
    // system cannot tell which are.
    virtual std::optional<std::vector<PresentPort>> PresentPorts() const = 0;
    // What the system tells of the USB device behind port `number` now.
    virtual UsbIdentity UsbIdentityOf(std::uint8_t number) const = 0;
};

}  // namespace vm4417
