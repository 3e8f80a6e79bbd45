#pragma once
// What sway tells a client of its own about the seat's keyboard focus, over
// its IPC socket ($SWAYSOCK): no Wayland protocol shows another client's
// focus, and sway's own IPC does. Other wlroots desktops have no such socket,
// and there nothing is seen.

#include <cstdint>
#include <optional>
#include <string>

#include "posix/PosixIo.h"

namespace vm4417 {

class SwayFocus {
public:
    // An empty path: not on sway, nothing is ever seen.
    explicit SwayFocus(std::string socketPath);
    // The socket named by $SWAYSOCK.
    static SwayFocus FromEnvironment();

    // The id of the window (container) that has the first seat's keyboard
    // focus; 0 while a layer-shell surface holds the keyboard instead (a
    // screen locker such as swaylock, or a launcher); nothing when sway could
    // not be asked. One request and reply on a connection kept open (about
    // 25 µs), bounded by a short time-out.
    std::optional<std::uint64_t> Focus();

private:
    bool Connect();
    std::optional<std::string> Ask(std::uint32_t type);

    std::string socketPath_;
    posix::UniqueFd socket_;
};

// The first seat's "focus" in sway's answer to GET_SEATS; nothing when the
// answer has none.
std::optional<std::uint64_t> FirstSeatFocus(const std::string& seatsJson);

}  // namespace vm4417
