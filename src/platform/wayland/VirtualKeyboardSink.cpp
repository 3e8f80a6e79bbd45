#include "VirtualKeyboardSink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "TypingKeymap.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace vm4417 {

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// How long the compositor may take to answer a round trip or to take a
// flushed request before the way counts as broken. A working compositor
// answers in well under a millisecond; this only bounds a hung one.
constexpr milliseconds kAnswerTimeout{2000};

// What went wrong on a connection, in libwayland's and the system's words.
// `failedCall` is the errno of the call that failed, for the failures that
// libwayland does not keep as the display's error (a failed flush).
std::string ConnectionError(wl_display* display, int failedCall = 0) {
    const int error = wl_display_get_error(display);
    if (error == EPROTO) {
        const wl_interface* interface = nullptr;
        std::uint32_t id = 0;
        const std::uint32_t code = wl_display_get_protocol_error(display, &interface, &id);
        return "protocol error " + std::to_string(code) + " on " +
               (interface != nullptr ? interface->name : "unknown object") + "@" +
               std::to_string(id);
    }
    if (error != 0) return std::strerror(error);
    return failedCall != 0 ? std::strerror(failedCall) : "the connection failed";
}

int Remaining(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits for `events` on the connection's socket; false on a timeout.
bool WaitFor(wl_display* display, short events, Clock::time_point deadline) {
    pollfd fd{wl_display_get_fd(display), events, 0};
    for (;;) {
        const int ready = poll(&fd, 1, Remaining(deadline));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

// Hands every queued request to the compositor. libwayland sends with
// MSG_NOSIGNAL, so a compositor that has gone gives an error here (EPIPE),
// never a SIGPIPE.
std::string Flush(wl_display* display, Clock::time_point deadline) {
    while (wl_display_flush(display) < 0) {
        if (errno != EAGAIN) return ConnectionError(display, errno);
        if (!WaitFor(display, POLLOUT, deadline)) return "the compositor takes no more requests";
    }
    return {};
}

// Reads what the compositor sent, waiting until the deadline for something to
// arrive (a deadline in the past: only what is there already), and
// dispatches it. A protocol error or a closed connection shows here.
std::string TakeIncoming(wl_display* display, Clock::time_point deadline, bool& timedOut) {
    timedOut = false;
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) return ConnectionError(display);
    }
    if (const std::string error = Flush(display, deadline); !error.empty()) {
        wl_display_cancel_read(display);
        return error;
    }
    if (!WaitFor(display, POLLIN, deadline)) {
        wl_display_cancel_read(display);
        timedOut = true;
        return {};
    }
    if (wl_display_read_events(display) < 0) return ConnectionError(display, errno);
    if (wl_display_dispatch_pending(display) < 0) return ConnectionError(display);
    return {};
}

void OnSyncDone(void* done, wl_callback* callback, std::uint32_t) {
    *static_cast<bool*>(done) = true;
    wl_callback_destroy(callback);
}

const wl_callback_listener kSyncListener = {OnSyncDone};

// Sends a sync request and dispatches everything until the compositor's
// answer: every request before it has then been handled. Bounded in time.
std::string RoundTrip(wl_display* display) {
    const auto deadline = Clock::now() + kAnswerTimeout;
    bool done = false;
    wl_callback* callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &kSyncListener, &done);
    while (!done) {
        bool timedOut = false;
        if (std::string error = TakeIncoming(display, deadline, timedOut); !error.empty()) {
            return error;
        }
        if (timedOut && !done) {
            // An answer that comes later goes to the destroyed proxy, which
            // libwayland drops.
            wl_callback_destroy(callback);
            return "the compositor did not answer within " +
                   std::to_string(kAnswerTimeout.count()) + " ms";
        }
    }
    return {};
}

// The globals this way needs, as the registry announces them.
struct Globals {
    std::uint32_t manager = 0;  // registry names; 0: not offered
    std::uint32_t seat = 0;
};

void OnGlobal(void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        globals->manager = name;
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == 0) {
        globals->seat = name;  // the first seat: the one the operator sits at
    }
}

void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

// The display named, or $WAYLAND_DISPLAY. libwayland itself would fall back
// to "wayland-0", which in an X11 session may be some other program's.
std::string DisplayToUse(const std::string& name) {
    if (!name.empty()) return name;
    const char* environment = std::getenv("WAYLAND_DISPLAY");
    return environment != nullptr ? environment : "";
}

// An anonymous file holding `text` and its terminating NUL, which the
// compositor maps and reads as one string.
int KeymapFile(const std::string& text, std::string& error) {
    const int fd = memfd_create("vm4417-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) {
        error = std::string("memfd_create: ") + std::strerror(errno);
        return -1;
    }
    const char* data = text.c_str();
    std::size_t left = text.size() + 1;
    while (left > 0) {
        const ssize_t written = write(fd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error = std::string("keymap file: ") + std::strerror(errno);
            close(fd);
            return -1;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    // The compositor maps it read-only; seals keep this process from changing
    // it under the compositor's feet too.
    fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
    return fd;
}

std::uint32_t NowMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000 +
                                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000);
}

}  // namespace

struct VirtualKeyboardSink::Connection {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwp_virtual_keyboard_manager_v1* manager = nullptr;
    zwp_virtual_keyboard_v1* keyboard = nullptr;
    Globals globals;
    std::array<std::uint8_t, 256> evdevCodes{};
    std::uint32_t shiftMask = 0;

    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    // Destroying the keyboard tells the compositor to drop the device; the
    // disconnect would do the same for everything this connection made.
    ~Connection() {
        if (display == nullptr) return;
        if (keyboard != nullptr) zwp_virtual_keyboard_v1_destroy(keyboard);
        if (manager != nullptr) zwp_virtual_keyboard_manager_v1_destroy(manager);
        if (seat != nullptr) wl_seat_destroy(seat);
        if (registry != nullptr) wl_registry_destroy(registry);
        wl_display_flush(display);
        wl_display_disconnect(display);
    }

    // Connects and learns the globals. Empty, or why not.
    std::string Open(const std::string& name) {
        if (name.empty()) return "WAYLAND_DISPLAY is not set";
        display = wl_display_connect(name.c_str());
        if (display == nullptr) {
            return "cannot connect to " + name + ": " + std::strerror(errno);
        }
        registry = wl_display_get_registry(display);
        wl_registry_add_listener(registry, &kRegistryListener, &globals);
        if (std::string error = RoundTrip(display); !error.empty()) return name + ": " + error;
        if (globals.manager == 0) {
            return "the compositor on " + name + " does not offer " +
                   zwp_virtual_keyboard_manager_v1_interface.name;
        }
        if (globals.seat == 0) return "the compositor on " + name + " has no seat";
        return {};
    }

    // Makes the keyboard, gives it its keymap and settles it.
    std::string MakeKeyboard() {
        const TypingKeymap keymap = BuildTypingKeymap();
        if (!keymap.error.empty()) return keymap.error;
        evdevCodes = keymap.evdevCodes;
        shiftMask = keymap.shiftMask;
        std::string error;
        const int fd = KeymapFile(keymap.text, error);
        if (fd < 0) return error;

        manager = static_cast<zwp_virtual_keyboard_manager_v1*>(wl_registry_bind(
            registry, globals.manager, &zwp_virtual_keyboard_manager_v1_interface, 1));
        seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, globals.seat, &wl_seat_interface, 1));
        keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat);
        // libwayland sends a duplicate of the descriptor; this one can go.
        zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       static_cast<std::uint32_t>(keymap.text.size() + 1));
        // A modifiers event with nothing held makes the compositor take the
        // keyboard as the seat's active one now: it sends the keymap to the
        // focused client at once instead of just before the first key.
        zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
        error = RoundTrip(display);
        close(fd);
        return error;
    }

    std::string Alive() { return RoundTrip(display); }
};

VirtualKeyboardSink::VirtualKeyboardSink(std::string displayName)
    : displayName_(std::move(displayName)) {}

VirtualKeyboardSink::~VirtualKeyboardSink() = default;

std::string VirtualKeyboardSink::Name() const { return "virtual keyboard"; }

WayCheck VirtualKeyboardSink::Check() {
    const std::string name = DisplayToUse(displayName_);
    Connection probe;
    if (std::string error = probe.Open(name); !error.empty()) return {false, std::move(error)};
    return {true, std::string(zwp_virtual_keyboard_manager_v1_interface.name) + " on " + name +
                      ": native Wayland and Xwayland applications"};
}

void VirtualKeyboardSink::Prepare() {
    if (status_.state == WayState::Ready && connection_) {
        const std::string error = connection_->Alive();
        if (error.empty()) return;
        Fail(error);
    }
    connection_.reset();
    SetStatus(WayState::Preparing);
    auto connection = std::make_unique<Connection>();
    std::string error = connection->Open(DisplayToUse(displayName_));
    if (error.empty()) error = connection->MakeKeyboard();
    if (!error.empty()) {
        SetStatus(WayState::Failed, std::move(error));
        return;
    }
    connection_ = std::move(connection);
    SetStatus(WayState::Ready);
}

bool VirtualKeyboardSink::Begin() {
    if (status_.state != WayState::Ready || !connection_) return false;
    if (std::string error = connection_->Alive(); !error.empty()) {
        Fail(std::move(error));
        return false;
    }
    return true;
}

bool VirtualKeyboardSink::Send(const KeyEvent& event) {
    if (status_.state != WayState::Ready || !connection_) return false;
    // Shift is held as the keyboard's modifier state, not as a key: the
    // keymap has no Shift key, and both levels of each of its keys carry the
    // shifted character, so clients of the keymap type the same either way.
    // The state is still needed for Xwayland while a map set on the X server
    // after this keyboard became active (setxkbmap) reads the keys with its
    // own layout: Shift with the digit row's keys gives the digits on a
    // Czech layout, as the same sequence does through XTest and SendInput.
    if (event.virtualKey == vk::Shift) {
        zwp_virtual_keyboard_v1_modifiers(connection_->keyboard,
                                          event.keyUp ? 0 : connection_->shiftMask, 0, 0, 0);
    } else {
        const std::uint8_t code = connection_->evdevCodes[event.virtualKey];
        if (code == 0) return false;
        zwp_virtual_keyboard_v1_key(
            connection_->keyboard, NowMilliseconds(), code,
            event.keyUp ? WL_KEYBOARD_KEY_STATE_RELEASED : WL_KEYBOARD_KEY_STATE_PRESSED);
    }
    wl_display* display = connection_->display;
    const auto deadline = Clock::now() + kAnswerTimeout;
    std::string error = Flush(display, deadline);
    if (error.empty()) {
        // Only what has arrived already: a protocol error or a closed
        // connection shows here without waiting for the compositor.
        bool timedOut = false;
        error = TakeIncoming(display, Clock::now(), timedOut);
    }
    if (!error.empty()) {
        Fail(std::move(error));
        return false;
    }
    return true;
}

KeyTarget VirtualKeyboardSink::Target() {
    const auto focus = sway_.Focus();
    if (!focus) return {};
    // A layer-shell surface with the keyboard: the keys would go to it, and
    // not to the window the operator works in.
    if (*focus == 0) return {std::nullopt, std::nullopt, true};
    return {*focus, std::nullopt, false};
}

void VirtualKeyboardSink::Fail(std::string detail) {
    // The compositor drops a keyboard whose client has gone, and with it any
    // key it held.
    connection_.reset();
    SetStatus(WayState::Failed, std::move(detail));
}

void VirtualKeyboardSink::SetStatus(WayState state, std::string detail) {
    if (status_.state == state && status_.detail == detail) return;
    status_ = {state, std::move(detail)};
    NotifyStatus();
}

}  // namespace vm4417
