#include "FocusTarget.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <string_view>
#include <utility>

#include "XConnection.h"

namespace vm4417::x11 {

// ---- What the readings mean -------------------------------------------------

GrabSeen AfterFocusChange(GrabSeen now, const FocusChange& change) {
    switch (change.mode) {
        case NotifyNormal:
        case NotifyUngrab: return {KeyboardGrab::Free, 0};
        case NotifyWhileGrabbed:
            if (now.grab == KeyboardGrab::Free) now.grab = KeyboardGrab::Unknown;
            return now;
        case NotifyGrab: break;
        default: return now;
    }
    if (change.onRoot) return change.in ? GrabSeen{KeyboardGrab::Elsewhere, 0} : now;
    const bool toAnotherTree = change.detail == NotifyNonlinear ||
                               change.detail == NotifyNonlinearVirtual ||
                               change.detail == NotifyAncestor || change.detail == NotifyVirtual;
    // A top-level window that the focus leaves for the grab: the grab window
    // is outside it (another tree, or the root above it).
    if (!change.in && toAnotherTree) return {KeyboardGrab::Elsewhere, change.window};
    // The grab took the focus back into the window it left: it is that
    // window's own.
    if (change.in && now.grab == KeyboardGrab::Elsewhere && change.window == now.left) {
        return {KeyboardGrab::OwnTree, 0};
    }
    return now;
}

KeyboardGrab FromGrabProbe(bool anotherClientHoldsIt, bool lockerWindowOnTop) {
    if (!anotherClientHoldsIt) return KeyboardGrab::Free;
    return lockerWindowOnTop ? KeyboardGrab::Elsewhere : KeyboardGrab::OwnTree;
}

bool CoversScreen(const ScreenRect& window, int screenWidth, int screenHeight) {
    constexpr int kEdge = 2;
    return window.x <= kEdge && window.y <= kEdge &&
           window.x + window.width >= screenWidth - kEdge &&
           window.y + window.height >= screenHeight - kEdge;
}

KeyTarget KeyTargetOf(const FocusReading& reading) {
    KeyTarget target;
    target.focus = reading.topLevel;
    target.ownWindow = reading.ownWindow;
    const bool elsewhere = reading.grab == KeyboardGrab::Elsewhere;
    // An unlocked screen looks like one whose locker this program does not
    // know, so "not locked" is never said.
    if (reading.screensaverLocked || (elsewhere && reading.lockerWindowOnTop)) {
        target.locked = true;
    } else if (elsewhere) {
        target.keyboardTaken = true;
    } else if (reading.grab != KeyboardGrab::Unknown) {
        target.keyboardTaken = false;
    }
    return target;
}

// ---- Reading the X server ---------------------------------------------------

struct FocusWatch::State {
    std::unique_ptr<XConnection> link;
    Atom netWmPid = None;
    Atom screensaverStatus = None;
    Atom screensaverLock = None;
    // Children of the root created since the last look: focus events on them
    // before they were selected went unseen.
    std::set<Window> newChildren;
    std::optional<Window> focus;  // as XGetInputFocus named it; empty: read it
    bool followsPointer = false;  // the focus follows the pointer (PointerRoot)
    bool rootChanged = true;      // the windows on the root or xscreensaver's status changed
    GrabSeen grab;                // as the focus events and the probes tell it
    FocusReading reading;
};

namespace {

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

// The focused window's top-level window (the child of the root it lies in)
// and whether it is this process's. No focus at all is no window of this
// program's (a grab may still take the keys elsewhere).
void ReadTopLevel(Display* display, Window focus, Atom netWmPid, FocusReading& reading) {
    reading.topLevel.reset();
    reading.ownWindow.reset();
    if (focus == None) {
        reading.topLevel = 0;
        reading.ownWindow = false;
        return;
    }
    const Window root = DefaultRootWindow(display);
    Window window = focus;
    // Applications focus a window of their own or one inside it; the window
    // manager's frame, if any, lies between it and the root.
    constexpr int kDeepest = 16;
    for (int depth = 0; depth < kDeepest; ++depth) {
        if (!reading.ownWindow) reading.ownWindow = OwnedByThisProcess(display, window, netWmPid);
        Window rootOfTree = None, parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        // Fails when the window is gone meanwhile: the focus stays unseen.
        if (!XQueryTree(display, window, &rootOfTree, &parent, &children, &count)) return;
        if (children != nullptr) XFree(children);
        if (parent == root || parent == None) {
            reading.topLevel = window;
            // This program marks each of its windows with its process id.
            if (!reading.ownWindow) reading.ownWindow = false;
            return;
        }
        window = parent;
    }
}

// Focus events on every child of the root (and the root itself) show each
// grab that takes the keyboard from the focused window; the structure of
// the root shows windows coming and going, and its properties xscreensaver's
// status.
void WatchRootAndChildren(Display* display) {
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, PropertyChangeMask | SubstructureNotifyMask | FocusChangeMask);
    Window rootOfTree = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &rootOfTree, &parent, &children, &count)) return;
    for (unsigned int i = 0; i < count; ++i) XSelectInput(display, children[i], FocusChangeMask);
    if (children != nullptr) XFree(children);
}

}  // namespace

FocusWatch::FocusWatch(std::string displayName) : displayName_(std::move(displayName)) {}

FocusWatch::~FocusWatch() = default;

bool FocusWatch::Connect() {
    state_.reset();
    auto state = std::make_unique<State>();
    state->link = XConnection::Open(displayName_);
    if (!state->link) return false;
    Display* display = state->link->display;
    {
        HandlerScope scope(*state->link);
        WatchRootAndChildren(display);
        state->netWmPid = XInternAtom(display, "_NET_WM_PID", False);
        state->screensaverStatus = XInternAtom(display, "_SCREENSAVER_STATUS", False);
        state->screensaverLock = XInternAtom(display, "LOCK", False);
    }
    if (state->link->broken) return false;
    state_ = std::move(state);
    if (connectionListener_) connectionListener_(Descriptor());
    return true;
}

int FocusWatch::Descriptor() const {
    if (!state_ || state_->link->broken) return -1;
    return ConnectionNumber(state_->link->display);
}

void FocusWatch::Drain() {
    if (!state_ || state_->link->broken) return;
    State& state = *state_;
    HandlerScope scope(*state.link);
    TakeEvents();
    // Windows made since the last look are selected now; one that has the
    // focus already may have had a grab's events before (ReadFocus() then
    // forgets the grab). One that has not will show every later one, so it
    // is new no longer: a look hours later must not forget a grab seen
    // since.
    if (!state.newChildren.empty()) {
        ReadFocus();
        state.newChildren.clear();
    }
}

void FocusWatch::Start() {
    if (!state_ || state_->link->broken) Connect();
}

void FocusWatch::Restart() {
    if (!state_ || state_->link->broken) {
        Connect();
        return;
    }
    // Each capture looks where its keys go afresh.
    state_->focus.reset();
    state_->rootChanged = true;
}

KeyTarget FocusWatch::Look() {
    if (!state_ || state_->link->broken) return {};
    State& state = *state_;
    HandlerScope scope(*state.link);
    TakeEvents();
    const std::optional<std::uint64_t> topLevelBefore = state.reading.topLevel;
    // With the focus following the pointer, keys go to the window under it,
    // and it moves without telling any window.
    if (!state.focus || state.followsPointer) ReadFocus();
    if (state.rootChanged || state.reading.topLevel != topLevelBefore) ReadLockerWindow();
    state.rootChanged = false;
    if (state.grab.grab == KeyboardGrab::Unknown) ProbeGrab();
    state.newChildren.clear();
    if (state.link->broken) return {};
    state.reading.grab = state.grab.grab;
    return KeyTargetOf(state.reading);
}

// Takes in the events that have arrived, reading what is there without a
// round trip.
void FocusWatch::TakeEvents() {
    State& state = *state_;
    Display* display = state.link->display;
    const Window root = DefaultRootWindow(display);
    while (!state.link->broken && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
            case CreateNotify:
                if (event.xcreatewindow.parent == root) {
                    XSelectInput(display, event.xcreatewindow.window, FocusChangeMask);
                    state.newChildren.insert(event.xcreatewindow.window);
                }
                state.rootChanged = true;
                break;
            case MapNotify:
            case UnmapNotify:
            case ConfigureNotify:
            case CirculateNotify:
            case DestroyNotify:
            case ReparentNotify:
                // A window came, went or moved: the focus may have gone with
                // it, and a locker may have come.
                state.rootChanged = true;
                state.focus.reset();
                break;
            case FocusIn:
            case FocusOut:
                state.grab = AfterFocusChange(
                    state.grab, {event.type == FocusIn, event.xfocus.window == root,
                                 event.xfocus.mode, event.xfocus.detail, event.xfocus.window});
                state.focus.reset();
                break;
            case PropertyNotify:
                if (event.xproperty.atom == state.screensaverStatus) state.rootChanged = true;
                break;
            default: break;
        }
    }
}

void FocusWatch::ReadFocus() {
    State& state = *state_;
    Display* display = state.link->display;
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display, &focus, &revertTo);
    state.followsPointer = focus == PointerRoot;
    if (state.followsPointer) focus = WindowUnderPointer(display);
    if (state.link->broken) return;
    if (focus != state.focus) ReadTopLevel(display, focus, state.netWmPid, state.reading);
    state.focus = focus;
    // A window made since the last look may have had a grab's events before
    // they were asked for.
    if (state.reading.topLevel && state.newChildren.count(*state.reading.topLevel) > 0) {
        state.grab = {};
    }
}

void FocusWatch::ReadLockerWindow() {
    State& state = *state_;
    Display* display = state.link->display;
    state.reading.screensaverLocked =
        ScreensaverLocked(display, state.screensaverStatus, state.screensaverLock);
    const auto top = TopmostViewable(display);
    XWindowAttributes root{};
    state.reading.lockerWindowOnTop =
        top && top->attributes.override_redirect &&
        XGetWindowAttributes(display, DefaultRootWindow(display), &root) &&
        CoversScreen(
            {top->attributes.x, top->attributes.y, top->attributes.width, top->attributes.height},
            root.width, root.height) &&
        state.reading.topLevel != top->window;
}

// Nothing seen says whether another client holds the keyboard: a grab of the
// program's own, let go at once when it succeeds, does. It tells the focused
// application of a grab for that moment, so it is asked only while nothing
// was seen (a new connection, a focus in a window just made).
void FocusWatch::ProbeGrab() {
    State& state = *state_;
    Display* display = state.link->display;
    const int grab = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync,
                                   GrabModeAsync, CurrentTime);
    if (grab == GrabSuccess) {
        XUngrabKeyboard(display, CurrentTime);
        XSync(display, False);
    }
    if (grab == GrabSuccess || grab == AlreadyGrabbed) {
        state.grab = {FromGrabProbe(grab == AlreadyGrabbed, state.reading.lockerWindowOnTop), 0};
    } else if (grab == GrabFrozen) {
        // Another client's grab froze the keyboard: no key goes anywhere.
        state.grab = {KeyboardGrab::Elsewhere, 0};
    }
}

}  // namespace vm4417::x11
