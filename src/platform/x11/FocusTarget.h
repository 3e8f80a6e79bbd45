#pragma once
// Where synthetic keys would go now, as the X server shows it: the focused
// top-level window, whether it is one of this process's, whether the screen
// is locked, and whether another window than the focused one holds the
// keyboard. Reading the server (FocusWatch) is kept apart from deciding what
// the readings mean (KeyTargetOf and the rules above it), which are plain
// functions.
//
// A locker takes the keyboard away from the focused window by an active
// keyboard grab of its own while the focus stays where it was; menus and the
// window manager's key bindings do the same for a moment. The X server tells
// the windows between the focus and the grab with focus events of mode
// NotifyGrab, and again with NotifyUngrab when the grab ends; a focus event
// of mode NotifyNormal means no grab is active. FocusWatch selects focus
// events on the root window and on each of its children (the top-level
// windows or their window manager's frames), so every grab that takes the
// keys away from the focused window shows there, whatever the locker draws.
// A grab that the focused application makes on its own window (a
// remote-desktop viewer) shows nothing and leaves the keys with it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "KeySink.h"

namespace vm4417::x11 {

// Who else holds the keyboard, as far as seen.
enum class KeyboardGrab {
    Unknown,    // nothing seen since the watch began
    Free,       // nobody: keys go to the focused window
    OwnTree,    // a grab that leaves the keys with the focused application
    Elsewhere,  // a window outside the focused one's holds them (a locker, a menu, the window
                // manager)
};

// One focus event, as the X server reported it to this program.
struct FocusChange {
    bool in = false;           // FocusIn; FocusOut otherwise
    bool onRoot = false;       // on the root window; on one of its children otherwise
    int mode = 0;              // NotifyNormal, NotifyGrab, NotifyUngrab, NotifyWhileGrabbed
    int detail = 0;            // NotifyAncestor ... NotifyDetailNone
    std::uint64_t window = 0;  // the window that got it
};

// The grab as the focus events tell it, and the window the focus left for
// the last grab seen.
struct GrabSeen {
    KeyboardGrab grab = KeyboardGrab::Unknown;
    std::uint64_t left = 0;

    friend bool operator==(const GrabSeen&, const GrabSeen&) = default;
};

// What a focus event tells about the grab: a grab on the root (FocusIn on
// the root) or on a window in another tree than the focus (FocusOut of
// detail Nonlinear or NonlinearVirtual on the focus's top-level) takes the
// keys elsewhere, unless the focus comes back with the grab to the very
// window it left (a grab on the focused window itself, as Xwayland reports
// one); an ungrab or a normal focus change means none is active; a focus
// moved while some grab is active leaves it unknown whose.
GrabSeen AfterFocusChange(GrabSeen now, const FocusChange& change);

// Where nothing was seen: whether a grab that this program asked for was
// refused because another client holds the keyboard, and whether a locker's
// window is on top, decide.
KeyboardGrab FromGrabProbe(bool anotherClientHoldsIt, bool lockerWindowOnTop);

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// Whether a window covers the screen, but for a few pixels at each edge
// (xsecurelock's stops one pixel inside each).
bool CoversScreen(const ScreenRect& window, int screenWidth, int screenHeight);

struct FocusReading {
    std::optional<std::uint64_t> topLevel;  // the focused top-level window; 0: none
    std::optional<bool> ownWindow;          // it is one of this process's
    bool screensaverLocked = false;         // xscreensaver's status says LOCK
    KeyboardGrab grab = KeyboardGrab::Unknown;
    // A window that asks the window manager for nothing (override-redirect),
    // covers the screen and lies above all others, and is not the focused
    // one: how lockers hide the desktop.
    bool lockerWindowOnTop = false;
};

// What the readings mean for the keys: locked when xscreensaver says so or
// when a locker's window is on top while another window holds the keyboard;
// the keyboard taken when another window holds it without such a window.
// Parts that were not read stay empty.
KeyTarget KeyTargetOf(const FocusReading& reading);

// Reads the X server on a connection of its own. Looked at before every key
// of a capture, so a look costs no round trip while nothing changes: the
// events that arrived since the last look say what must be read again.
// Meant for one thread (the UI thread).
class FocusWatch {
public:
    // An empty name means the display named by $DISPLAY.
    explicit FocusWatch(std::string displayName);
    ~FocusWatch();
    FocusWatch(const FocusWatch&) = delete;
    FocusWatch& operator=(const FocusWatch&) = delete;

    // Connects when not connected (again after a lost server). From then on
    // the focus events tell every grab that begins, as they come: started
    // when typing is set up, the watch sees a locker that comes before the
    // first capture as it sees one that comes later. A grab older than the
    // connection shows no events; only the probe at the first look sees it.
    void Start();
    // A new capture: Start(), and the next look reads the focus anew.
    void Restart();
    // Where the keys would go now; nothing seen without a connection.
    KeyTarget Look();

    // The connection's descriptor, for an event loop that calls Drain()
    // whenever it is readable, so that the server never queues events for
    // this watch all day and every grab is taken in as it begins; -1
    // without a connection. Each connection made (at Start(), after a lost
    // server) is told to the listener.
    int Descriptor() const;
    void Drain();
    void SetConnectionListener(std::function<void(int descriptor)> listener) {
        connectionListener_ = std::move(listener);
    }

private:
    struct State;

    bool Connect();
    void TakeEvents();
    void ReadFocus();
    void ReadLockerWindow();
    void ProbeGrab();

    std::string displayName_;
    std::unique_ptr<State> state_;
    std::function<void(int)> connectionListener_;
};

}  // namespace vm4417::x11
