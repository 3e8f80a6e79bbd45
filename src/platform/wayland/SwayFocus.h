#pragma once
// What sway tells a client of its own about the seat's keyboard focus, over
// its IPC socket ($SWAYSOCK): no Wayland protocol shows another client's
// focus, and sway's own IPC does. Other wlroots desktops have no such socket,
// and there nothing is seen.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "posix/PosixIo.h"

namespace vm4417 {

class SwayFocus {
public:
    // An empty path: not on sway, nothing is ever seen.
    explicit SwayFocus(std::string socketPath);
    // The socket named by $SWAYSOCK; without it, the one sway made for this
    // user in $XDG_RUNTIME_DIR (a program started by a unit or a session
    // manager that did not pass SWAYSOCK on).
    static SwayFocus FromEnvironment();
    // Whether there is a socket to ask.
    bool Known() const { return !socketPath_.empty(); }

    // The id of the window (container) that has the first seat's keyboard
    // focus; 0 while a layer-shell surface holds the keyboard instead (a
    // screen locker such as swaylock, or a launcher); nothing when sway could
    // not be asked. One request and reply on a connection kept open (about
    // 25 µs), bounded by a short time-out.
    std::optional<std::uint64_t> Focus();

    // Connects now; false when nothing takes the connection.
    bool Connect();

private:
    std::optional<std::string> Ask(std::uint32_t type);

    std::string socketPath_;
    posix::UniqueFd socket_;
};

// The first seat's "focus" in sway's answer to GET_SEATS; nothing when the
// answer has none.
std::optional<std::uint64_t> FirstSeatFocus(const std::string& seatsJson);

// Whether a file name is that of sway's IPC socket for the user:
// "sway-ipc.<uid>.<pid>.sock".
bool IsSwaySocketName(std::string_view name, unsigned int uid);
// The path of a socket in `folder` with sway's name for the user that
// belongs to that user and takes a connection; empty when there is none.
std::string FindSwaySocket(const std::string& folder, unsigned int uid);

}  // namespace vm4417
