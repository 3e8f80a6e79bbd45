#include "XTestKeySink.h"

#include "KeyLevels.h"
#include "Texts.h"
#include "typing/ShiftedKeysyms.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace vm4417 {

namespace {

// The keysym of the key that carries `virtualKey` on a Windows keyboard.
// Letters name the unshifted (lower-case) keysym, which is what the letter
// keys carry in every map.
std::optional<KeySym> KeysymFor(std::uint8_t virtualKey) {
    if (vk::IsDigit(virtualKey)) return XK_0 + (virtualKey - '0');
    if (vk::IsLetter(virtualKey)) return XK_a + (virtualKey - 'A');
    switch (virtualKey) {
        case vk::Return: return XK_Return;
        case vk::Shift: return XK_Shift_L;
        case vk::Space: return XK_space;
        case vk::Subtract: return XK_KP_Subtract;
        default: return std::nullopt;
    }
}

// What the error handlers found out about one connection.
struct LinkState {
    Display* display = nullptr;
    bool broken = false;   // the connection to the server is lost
    bool refused = false;  // the server answered a request with an error
};

// Marks the connection lost instead of ending the process, which is what
// Xlib does by default once a display's connection breaks. Xlib carries on
// after this returns: requests on the display fail, and closing it is safe.
void OnConnectionLost(Display*, void* link) { static_cast<LinkState*>(link)->broken = true; }

// Xlib's error handlers are process-wide and its defaults end the process (an
// I/O error goes to the global handler before the display's own exit handler
// above, so both are needed). While this sink works on its display, handlers
// that only take note are installed. Xlib reads a connection only inside
// calls made on that connection, so whatever arrives in that time belongs to
// this sink's display; anything else still goes to the previous handlers,
// which are put back afterwards. One thread, no nesting.
//
// A write to a server that has just gone raises SIGPIPE, whose default also
// ends the process. It is held back for the same time and dropped when it
// arose meanwhile; Xlib sees the failed write and reports the lost server.
class HandlerScope {
public:
    explicit HandlerScope(LinkState& link) : link_(link) {
        sigemptyset(&pipeSignal_);
        sigaddset(&pipeSignal_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal_, &savedMask_);
        sigset_t pending;
        sigpending(&pending);
        pipeWasPending_ = sigismember(&pending, SIGPIPE) == 1;

        active_ = this;
        previousError_ = XSetErrorHandler(OnError);
        previousIoError_ = XSetIOErrorHandler(OnIoError);
    }
    ~HandlerScope() {
        XSetIOErrorHandler(previousIoError_);
        XSetErrorHandler(previousError_);
        active_ = nullptr;

        sigset_t pending;
        sigpending(&pending);
        if (!pipeWasPending_ && sigismember(&pending, SIGPIPE) == 1) {
            const timespec noWait{};
            sigtimedwait(&pipeSignal_, nullptr, &noWait);
        }
        pthread_sigmask(SIG_SETMASK, &savedMask_, nullptr);
    }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    static bool Ours(Display* display) {
        return active_ != nullptr && display == active_->link_.display;
    }
    static int OnError(Display* display, XErrorEvent* error) {
        if (Ours(display)) {
            active_->link_.refused = true;
            return 0;
        }
        return active_ != nullptr ? active_->previousError_(display, error) : 0;
    }
    static int OnIoError(Display* display) {
        // The display's exit handler records the loss right after this.
        if (Ours(display)) return 0;
        return active_ != nullptr ? active_->previousIoError_(display) : 0;
    }

    static inline HandlerScope* active_ = nullptr;
    LinkState& link_;
    XErrorHandler previousError_ = nullptr;
    XIOErrorHandler previousIoError_ = nullptr;
    sigset_t pipeSignal_{};
    sigset_t savedMask_{};
    bool pipeWasPending_ = false;
};

}  // namespace

struct XTestKeySink::Connection {
    LinkState link;
    int xkbEventType = -1;  // -1: the server has no XKB
    // Keycode per virtual-key code in the current map; 0: no key.
    std::array<KeyCode, 256> keycodes{};

    // Typing by character: the map and group read at Begin(), the key and
    // modifiers found for each virtual-key code's character (found at its
    // first press), and the spare keys given a keysym for this capture.
    std::optional<KeyLevels> levels;
    std::array<KeyChord, 256> chords{};
    std::vector<KeyCode> spares;

    // Where the keys go, as last looked at: the window XGetInputFocus named,
    // its top-level window and whether that is one of this process's; and
    // what the last look for a locker found, to be looked at again once the
    // windows on the root or xscreensaver's status change.
    std::optional<Window> focus;    // empty: not looked at yet
    std::optional<Window> watched;  // the window watched for losing the focus
    std::optional<std::uint64_t> topLevel;
    std::optional<bool> ownWindow;
    bool rootChanged = true;
    std::optional<bool> lockerSeen;
    Atom netWmPid = None;
    Atom screensaverStatus = None;
    Atom screensaverLock = None;
};

namespace {

// Asks the server to report keyboard-map changes. Xlib keeps its own copy of
// the map and, with XKB, hears of a new map (setxkbmap) only through these
// events; a new keyboard is then reloaded by Xlib itself at the next lookup.
void WatchMapChanges(Display* display, int& xkbEventType) {
    int opcode = 0, eventBase = 0, errorBase = 0;
    int major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor)) return;
    constexpr unsigned int kEvents = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
    XkbSelectEvents(display, XkbUseCoreKbd, kEvents, kEvents);
    xkbEventType = eventBase;
}

// The windows on the root and xscreensaver's status are watched, so that a
// locker's window is looked for again only when something there changed.
void WatchRoot(Display* display) {
    XSelectInput(display, DefaultRootWindow(display), PropertyChangeMask | SubstructureNotifyMask);
}

// The key of a virtual-key code as the operator knows it.
std::string KeyName(std::uint8_t virtualKey) {
    switch (virtualKey) {
        case vk::Return: return "Enter";
        case vk::Shift: return "Shift";
        case vk::Space: return std::string(text::kSpaceBarName);
        case vk::Subtract: return std::string(text::kKeypadMinusName);
        default: return std::string(1, static_cast<char>(virtualKey));
    }
}

// What the events taken in since the last look tell.
struct Arrived {
    // A window on the root was mapped, unmapped, moved or restacked, or
    // xscreensaver's status changed: a locker may have come or gone.
    bool rootChanged = false;
    // The focused window lost the focus, or went away.
    bool focusMayHaveMoved = false;
};

// Takes in the events that have arrived (reading what is there without a
// round trip) and brings Xlib's copy of the keyboard map up to date with the
// changes among them.
Arrived TakeEvents(LinkState& link, int xkbEventType, Atom screensaverStatus) {
    Arrived arrived;
    const Window root = DefaultRootWindow(link.display);
    while (!link.broken && XPending(link.display) > 0) {
        XkbEvent event;
        XNextEvent(link.display, &event.core);
        switch (event.type) {
            case MappingNotify: XRefreshKeyboardMapping(&event.core.xmapping); break;
            case MapNotify:
            case UnmapNotify:
            case ConfigureNotify:
            case CirculateNotify:
            case DestroyNotify:
                // Reported to the root for its children, to the focused
                // window for itself.
                if (event.core.xany.window == root) {
                    arrived.rootChanged = true;
                } else {
                    arrived.focusMayHaveMoved = true;
                }
                break;
            case FocusIn:
            case FocusOut: arrived.focusMayHaveMoved = true; break;
            case PropertyNotify:
                if (event.core.xproperty.atom == screensaverStatus) arrived.rootChanged = true;
                break;
            default:
                if (event.type == xkbEventType && event.any.xkb_type == XkbMapNotify) {
                    XkbRefreshKeyboardMapping(&event.map);
                }
        }
    }
    return arrived;
}

// The first 32-bit item of a window's property of the given type; nothing
// when the window has no such property.
std::optional<unsigned long> FirstItem(Display* display, Window window, Atom property, Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType, &format,
                           &count, &after, &data) != Success) {
        return std::nullopt;
    }
    const bool found = data != nullptr && actualType == type && format == 32 && count == 1;
    // Xlib hands 32-bit items as longs.
    const unsigned long item = found ? *reinterpret_cast<unsigned long*>(data) : 0;
    if (data != nullptr) XFree(data);
    if (!found) return std::nullopt;
    return item;
}

// Whether `window` is a top-level window of this process: its _NET_WM_PID is
// ours, and its WM_CLIENT_MACHINE, where set, is this host (a client of
// another host may have the same process id). Nothing when the window does
// not say.
std::optional<bool> OwnedByThisProcess(Display* display, Window window, Atom netWmPid) {
    const auto pid = FirstItem(display, window, netWmPid, XA_CARDINAL);
    if (!pid) return std::nullopt;
    if (*pid != static_cast<unsigned long>(getpid())) return false;
    XTextProperty machine{};
    if (!XGetWMClientMachine(display, window, &machine) || machine.value == nullptr) return true;
    char host[256] = {};
    const bool hostKnown = gethostname(host, sizeof host - 1) == 0;
    const bool sameHost = !hostKnown || std::string_view(reinterpret_cast<char*>(machine.value),
                                                         machine.nitems) == std::string_view(host);
    XFree(machine.value);
    return sameHost;
}

// xscreensaver keeps its state in a property of the root window whose first
// item is the atom LOCK while the screen is locked.
bool ScreensaverLocked(Display* display, Atom status, Atom lock) {
    return FirstItem(display, DefaultRootWindow(display), status, XA_INTEGER) == lock;
}

struct RootChild {
    Window window = None;
    XWindowAttributes attributes{};
};

// The child of the root that is viewable and above all others that are.
std::optional<RootChild> TopmostViewable(Display* display) {
    Window root = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        return std::nullopt;
    }
    std::optional<RootChild> top;
    // Bottom to top; the few unmapped helper windows of a window manager may
    // lie above the topmost viewable one.
    constexpr unsigned int kLooks = 32;
    for (unsigned int i = count, looks = 0; i > 0 && looks < kLooks; --i, ++looks) {
        RootChild child{children[i - 1], {}};
        if (XGetWindowAttributes(display, child.window, &child.attributes) &&
            child.attributes.map_state == IsViewable) {
            top = child;
            break;
        }
    }
    if (children != nullptr) XFree(children);
    return top;
}

// The deepest window under the pointer; None over the bare root window.
Window WindowUnderPointer(Display* display) {
    const Window root = DefaultRootWindow(display);
    Window window = root;
    for (int depth = 0; depth < 16; ++depth) {
        Window rootOfPointer = None, child = None;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned int buttons = 0;
        if (!XQueryPointer(display, window, &rootOfPointer, &child, &rootX, &rootY, &x, &y,
                           &buttons) ||
            child == None) {
            break;
        }
        window = child;
    }
    return window == root ? None : window;
}

bool CoversScreen(Display* display, const XWindowAttributes& window) {
    XWindowAttributes root{};
    if (!XGetWindowAttributes(display, DefaultRootWindow(display), &root)) return false;
    return window.x <= 0 && window.y <= 0 && window.x + window.width >= root.width &&
           window.y + window.height >= root.height;
}

// The locks that change what a typed key gives: Caps Lock locks Lock, and
// Shift Lock locks Shift.
constexpr unsigned int kCharacterLocks = LockMask | ShiftMask;

// The shortcut modifiers among X modifier masks, as xkeyboard-config maps
// them: Alt on Mod1, Super on Mod4, AltGr (ISO_Level3_Shift) on Mod5; Mod2
// is Num Lock and Mod3 mostly unused.
std::uint8_t HeldModifiers(unsigned int mods) {
    std::uint8_t heldModifiers = 0;
    if ((mods & ControlMask) != 0) heldModifiers |= held::Ctrl;
    if ((mods & Mod1Mask) != 0) heldModifiers |= held::Alt;
    if ((mods & Mod4Mask) != 0) heldModifiers |= held::Super;
    if ((mods & Mod5Mask) != 0) heldModifiers |= held::AltGr;
    if ((mods & (Mod2Mask | Mod3Mask)) != 0) heldModifiers |= held::Other;
    if ((mods & ShiftMask) != 0) heldModifiers |= held::Shift;
    return heldModifiers;
}

std::optional<XkbStateRec> KeyboardState(LinkState& link) {
    XkbStateRec state{};
    if (XkbGetState(link.display, XkbUseCoreKbd, &state) != Success || link.broken) {
        return std::nullopt;
    }
    return state;
}

}  // namespace

XTestKeySink::XTestKeySink(std::string displayName) : displayName_(std::move(displayName)) {}

XTestKeySink::~XTestKeySink() { Disconnect(); }

OperatorKeyboard XTestKeySink::Keyboard() {
    if (!connection_ || connection_->link.broken || connection_->xkbEventType < 0) return {};
    HandlerScope scope(connection_->link);
    const auto state = KeyboardState(connection_->link);
    if (!state) return {};
    // Held and latched modifiers both reach the next key; a locked one
    // (Num Lock) does not make a shortcut of it.
    const unsigned int reaching = state->base_mods | state->latched_mods;
    return {HeldModifiers(reaching & ~LockMask), (state->locked_mods & kCharacterLocks) != 0};
}

bool XTestKeySink::SuspendLocks() {
    if (!connection_ || connection_->link.broken || connection_->xkbEventType < 0) return false;
    LinkState& link = connection_->link;
    HandlerScope scope(link);
    const auto before = KeyboardState(link);
    if (!before) return false;
    suspendedLocks_ = before->locked_mods & kCharacterLocks;
    XkbLockModifiers(link.display, XkbUseCoreKbd, suspendedLocks_, 0);
    const auto after = KeyboardState(link);
    return after && (after->locked_mods & kCharacterLocks) == 0;
}

void XTestKeySink::RestoreLocks() {
    const unsigned int locks = std::exchange(suspendedLocks_, 0);
    if (locks == 0 || !connection_ || connection_->link.broken) return;
    HandlerScope scope(connection_->link);
    XkbLockModifiers(connection_->link.display, XkbUseCoreKbd, locks, locks);
    XSync(connection_->link.display, False);
}

void XTestKeySink::Disconnect() {
    if (!connection_) return;
    {
        HandlerScope scope(connection_->link);
        if (!connection_->link.broken) UnmapSpares();
        XCloseDisplay(connection_->link.display);
    }
    connection_.reset();
}

bool XTestKeySink::Begin() {
    if (connection_ && !connection_->link.broken) {
        // A round trip tells whether the server is still there and makes sure
        // every map change made before this call has arrived.
        HandlerScope scope(connection_->link);
        XSync(connection_->link.display, False);
    }
    if (connection_ && connection_->link.broken) Disconnect();

    problem_.clear();
    if (!connection_) {
        Display* display = XOpenDisplay(displayName_.empty() ? nullptr : displayName_.c_str());
        if (display == nullptr) {
            problem_ = text::kXServerUnreachable;
            return false;
        }
        connection_ = std::make_unique<Connection>();
        connection_->link.display = display;
        XSetIOErrorExitHandler(display, OnConnectionLost, &connection_->link);
        HandlerScope scope(connection_->link);
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        const bool hasXTest = XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor);
        if (hasXTest) {
            WatchMapChanges(display, connection_->xkbEventType);
            WatchRoot(display);
            connection_->netWmPid = XInternAtom(display, "_NET_WM_PID", False);
            connection_->screensaverStatus = XInternAtom(display, "_SCREENSAVER_STATUS", False);
            connection_->screensaverLock = XInternAtom(display, "LOCK", False);
        }
        if (!hasXTest || connection_->link.broken) {
            problem_ = hasXTest ? text::kXServerUnreachable : text::kXTestMissing;
            XCloseDisplay(display);
            connection_.reset();
            return false;
        }
    }

    Connection& connection = *connection_;
    HandlerScope scope(connection.link);
    TakeEvents(connection.link, connection.xkbEventType, connection.screensaverStatus);
    // Each capture looks where its keys go afresh.
    connection.focus.reset();
    connection.rootChanged = true;
    UnmapSpares();
    connection.chords = {};
    connection.levels.reset();
    if (exact_) {
        // The operator may have switched the layout since the last capture.
        connection.levels = KeyLevels::Read(connection.link.display);
        if (!connection.levels) {
            problem_ = text::kXKeyboardUnreadable;
            return false;
        }
    }
    std::optional<std::uint8_t> missing;
    for (std::size_t virtualKey = 0; virtualKey < connection.keycodes.size(); ++virtualKey) {
        const auto keysym = KeysymFor(static_cast<std::uint8_t>(virtualKey));
        KeyCode& keycode = connection.keycodes[virtualKey];
        keycode = keysym ? XKeysymToKeycode(connection.link.display, *keysym) : 0;
        if (keysym && keycode == 0 && !missing) missing = static_cast<std::uint8_t>(virtualKey);
    }
    // By character, only Shift must be there; the rest is found or put on
    // a spare key as it comes.
    if (exact_ && missing != vk::Shift) missing.reset();
    if (missing) {
        problem_ = std::string(text::kLayoutLacksKey) + KeyName(*missing) +
                   std::string(text::kLayoutLacksKeyEnd);
    }
    if (connection.link.broken) problem_ = text::kXServerUnreachable;
    return problem_.empty();
}

// The focused window is watched for losing the focus, so that while it keeps
// it a look costs no round trip to the server.
KeyTarget XTestKeySink::Target() {
    if (!connection_ || connection_->link.broken) return {};
    Connection& connection = *connection_;
    HandlerScope scope(connection.link);
    const Arrived arrived =
        TakeEvents(connection.link, connection.xkbEventType, connection.screensaverStatus);
    if (arrived.rootChanged) connection.rootChanged = true;
    if (!connection.focus || !connection.watched || arrived.focusMayHaveMoved) {
        Window focus = None;
        int revertTo = 0;
        XGetInputFocus(connection.link.display, &focus, &revertTo);
        // With the focus following the pointer, keys go to the window under
        // it, and it moves without telling any window.
        const bool followsPointer = focus == PointerRoot;
        if (followsPointer) focus = WindowUnderPointer(connection.link.display);
        if (connection.link.broken) return {};
        if (focus != connection.focus) LookAtFocus(focus);
        WatchFocus(followsPointer ? None : focus);
    }
    if (std::exchange(connection.rootChanged, false)) connection.lockerSeen = LockerSeen();
    return {connection.topLevel, connection.ownWindow, connection.lockerSeen};
}

// Watches the focused window, and only it, for the focus leaving it; None
// watches nothing. Each client has event masks of its own on every window,
// so this changes nothing for the window's owner.
void XTestKeySink::WatchFocus(Window focus) {
    Connection& connection = *connection_;
    Display* display = connection.link.display;
    if (connection.watched == focus) return;
    if (connection.watched) XSelectInput(display, *connection.watched, NoEventMask);
    connection.watched.reset();
    if (focus == None) return;
    XSelectInput(display, focus, FocusChangeMask | StructureNotifyMask);
    connection.watched = focus;
}

// No focus at all is no window of this program's (a grab may still take the
// keys elsewhere).
void XTestKeySink::LookAtFocus(Window focus) {
    Connection& connection = *connection_;
    Display* display = connection.link.display;
    connection.focus = focus;
    connection.topLevel.reset();
    connection.ownWindow.reset();
    if (focus == None) {
        connection.topLevel = 0;
        connection.ownWindow = false;
        return;
    }
    const Window root = DefaultRootWindow(display);
    Window window = focus;
    // Applications focus a window of their own or one inside it; the window
    // manager's frame, if any, lies between it and the root.
    constexpr int kDeepest = 16;
    for (int depth = 0; depth < kDeepest; ++depth) {
        if (!connection.ownWindow) {
            connection.ownWindow = OwnedByThisProcess(display, window, connection.netWmPid);
        }
        Window rootOfTree = None, parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        // Fails when the window is gone meanwhile: the focus stays unseen.
        if (!XQueryTree(display, window, &rootOfTree, &parent, &children, &count)) return;
        if (children != nullptr) XFree(children);
        if (parent == root || parent == None) {
            connection.topLevel = window;
            // This program marks each of its windows with its process id.
            if (!connection.ownWindow) connection.ownWindow = false;
            return;
        }
        window = parent;
    }
}

std::optional<bool> XTestKeySink::LockerSeen() {
    Connection& connection = *connection_;
    Display* display = connection.link.display;
    if (ScreensaverLocked(display, connection.screensaverStatus, connection.screensaverLock)) {
        return true;
    }
    const auto top = TopmostViewable(display);
    if (!top || !top->attributes.override_redirect || !CoversScreen(display, top->attributes) ||
        top->window == connection.topLevel) {
        return std::nullopt;
    }
    // Such a window with a keyboard grab of another client is a locker. The
    // grab asked for here is let go at once when it succeeds.
    const int grab = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync,
                                   GrabModeAsync, CurrentTime);
    if (grab == GrabSuccess) {
        XUngrabKeyboard(display, CurrentTime);
        XSync(display, False);
        return std::nullopt;
    }
    if (grab == AlreadyGrabbed) return true;
    return std::nullopt;
}

WayCheck XTestKeySink::Check() {
    const char* fromEnvironment = std::getenv("DISPLAY");
    const std::string name =
        !displayName_.empty() ? displayName_ : (fromEnvironment ? fromEnvironment : "");
    if (name.empty()) return {false, "no X display (DISPLAY is not set)"};
    if (Begin()) return {true, "X display " + name};
    if (!connection_) return {false, "cannot open X display " + name + " with the XTest extension"};
    return {false, "the keyboard map of X display " + name + " lacks a key the typing uses"};
}

bool XTestKeySink::Send(const KeyEvent& event) {
    if (!connection_ || connection_->link.broken) return false;
    HandlerScope scope(connection_->link);
    if (connection_->levels) return SendCharacter(event);
    const KeyCode keycode = connection_->keycodes[event.virtualKey];
    return keycode != 0 && Fake(keycode, !event.keyUp);
}

bool XTestKeySink::Fake(KeyCode keycode, bool press) {
    LinkState& link = connection_->link;
    link.refused = false;
    const bool queued =
        XTestFakeKeyEvent(link.display, keycode, press ? True : False, CurrentTime) != 0;
    // Waiting for the server's answer keeps the events in order with the
    // caller's pauses and reports a refused event or a lost server here.
    XSync(link.display, False);
    return queued && !link.refused && !link.broken;
}

// The key's character, at whatever key and level give it now. The design's
// Shift goes nowhere: each key brings the modifiers its level needs, pressed
// just before it and released just after it.
bool XTestKeySink::SendCharacter(const KeyEvent& event) {
    if (event.virtualKey == vk::Shift) return true;
    KeyChord& chord = connection_->chords[event.virtualKey];
    if (chord.keycode == 0) {
        if (event.keyUp) return false;
        const auto keysym = ShiftedKeysym(event.virtualKey);
        if (!keysym) return false;
        const auto found = FindOrMapKey(*keysym);
        if (!found) return false;
        chord = *found;
    }
    const KeyCode shift = connection_->keycodes[vk::Shift];
    const KeyCode level3 = connection_->levels->Level3Key();
    const bool withShift = (chord.modifiers & ShiftMask) != 0;
    const bool withLevel3 = (chord.modifiers & ~ShiftMask) != 0;
    if (event.keyUp) {
        return Fake(chord.keycode, false) && (!withLevel3 || Fake(level3, false)) &&
               (!withShift || Fake(shift, false));
    }
    return (!withShift || Fake(shift, true)) && (!withLevel3 || Fake(level3, true)) &&
           Fake(chord.keycode, true);
}

// A keysym that no key gives in the group in force goes on a spare key.
// It stays there until the next capture begins: an application that reads
// the changed map only when it gets to the key (a busy one) still finds it.
std::optional<KeyChord> XTestKeySink::FindOrMapKey(KeySym keysym) {
    Connection& connection = *connection_;
    if (const auto found = connection.levels->Find(keysym)) return found;
    const KeyCode spare = connection.levels->SpareKey(connection.spares);
    if (spare == 0) return std::nullopt;
    // Both levels: a lone capital letter would be taken as the key's
    // capital, with its small letter below it.
    KeySym symbols[] = {keysym, keysym};
    XChangeKeyboardMapping(connection.link.display, spare, 2, symbols, 1);
    connection.spares.push_back(spare);
    XSync(connection.link.display, False);
    if (connection.link.refused || connection.link.broken) return std::nullopt;
    return KeyChord{spare, 0};
}

// Called with the handlers in place.
void XTestKeySink::UnmapSpares() {
    Connection& connection = *connection_;
    if (connection.spares.empty()) return;
    KeySym none[] = {NoSymbol};
    for (const KeyCode spare : connection.spares) {
        XChangeKeyboardMapping(connection.link.display, spare, 1, none, 1);
    }
    connection.spares.clear();
    XSync(connection.link.display, False);
}

}  // namespace vm4417
