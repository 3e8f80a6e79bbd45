#pragma once
// Where a lost reader is looked for. A USB adapter does not keep its port:
// replugged into another socket it gets another COM number, and after a
// sleep, or a replug while its node was still held, Linux names it
// ttyUSB1 instead of ttyUSB0. So the reader is looked for
//   - on its own port, about once a second, as a reader that answers at all,
//     while the number leads to the reader's own device, to nothing the
//     system can name, or to a device that appeared since (not to one that
//     was there already: on Linux port 0 falls back from ttyUSB0 to the
//     built-in ttyS0);
//   - on every port that appeared since the loss (a number that was not
//     there, or that now leads to another device), once per appearance and
//     after a moment to settle, as a reader with the lost one's
//     identification only: a second reader of a second program at the same
//     workstation is told, not taken.
// Ports that were there all along (a modem, a scale) get no request. Among
// new ports, the one most like the lost port's USB device goes first. One
// port per call, so that the window never waits: it opens the port, asks
// for the identification on a later tick and reports back.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "Clock.h"
#include "SerialLine.h"

namespace vm4417 {

// How often the reader's own port is tried again, and how long a port that
// failed to open waits before the next try.
inline constexpr std::chrono::milliseconds kReconnectInterval{1000};
// How long a newly appeared port is left alone first: its node may not be
// open to the operator yet (udev sets its group a moment later), and the
// reader behind it may still be starting.
inline constexpr std::chrono::milliseconds kNewPortSettle{700};

enum class ReturnVerdict {
    Take,         // the lost reader, or any reader on the lost reader's own port
    OtherReader,  // a reader with another identification on a new port
    NoReader,     // no answer
};

// How much a port's USB device looks like the lost one's: 3 the same
// adapter by its serial number, 2 the same socket, 1 the same kind, 0 no
// sign either way.
int UsbLikeness(const UsbIdentity& lost, const UsbIdentity& candidate);

class ReaderSearch {
public:
    // `presence` may be null: then only the reader's own port is tried.
    explicit ReaderSearch(const PortPresence* presence) : presence_(presence) {}

    // The reader answered on `port` with `ident`; the port's device and USB
    // identity are read now, while the device is surely there.
    void Connected(std::uint8_t port, std::string ident);
    // The connected reader is gone (or its port was let go for a sleep): the
    // ports present now are its bystanders, and its own port is due at once.
    void Lost(Clock::TimePoint now);

    // The port to try at this tick, if one is due; the ports present are
    // read first.
    std::optional<std::uint8_t> NextPort(Clock::TimePoint now);
    // The reader on `port` answered the identification with `ident`, or not
    // at all (nothing). A new port counts as identified for this appearance
    // either way. On Take, the port becomes the connected one.
    ReturnVerdict Identified(std::uint8_t port, const std::optional<std::string>& ident);

    std::uint8_t Port() const { return port_; }
    const std::string& Ident() const { return ident_; }
    const UsbIdentity& Usb() const { return usb_; }

private:
    struct Seen {
        std::string device;
        bool appearedSinceLoss = false;
        bool identified = false;
        Clock::TimePoint appearedAt{};
        Clock::TimePoint nextTryAt{};
        UsbIdentity usb;
    };

    void TakeInPresentPorts(Clock::TimePoint now);
    bool OwnPortDue(Clock::TimePoint now) const;
    std::optional<std::uint8_t> BestNewPort(Clock::TimePoint now) const;

    const PortPresence* presence_;
    std::uint8_t port_ = 0;
    std::string ident_;
    std::string device_;  // what the port led to when the reader answered
    UsbIdentity usb_;
    // Ports present as last read while searching; empty until the first
    // reading, which only notes the bystanders.
    std::map<std::uint8_t, Seen> seen_;
    bool bystandersNoted_ = false;
    Clock::TimePoint ownPortNextTry_{};
};

}  // namespace vm4417
