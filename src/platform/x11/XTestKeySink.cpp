#include "XTestKeySink.h"

#include "KeyLevels.h"
#include "Texts.h"
#include "XConnection.h"
#include "typing/ShiftedKeysyms.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace vm4417 {

using x11::HandlerScope;
using x11::XConnection;

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

}  // namespace

struct XTestKeySink::Connection {
    std::unique_ptr<XConnection> link;
    int xkbEventType = -1;  // -1: the server has no XKB
    // Keycode per virtual-key code in the current map; 0: no key.
    std::array<KeyCode, 256> keycodes{};

    // Typing by character: the map and group read at Begin(), the key and
    // modifiers found for each virtual-key code's character (found at its
    // first press), and the spare keys given a keysym for this capture.
    std::optional<KeyLevels> levels;
    std::array<KeyChord, 256> chords{};
    std::vector<KeyCode> spares;
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

// Takes in the events that have arrived (reading what is there without a
// round trip) and brings Xlib's copy of the keyboard map up to date with the
// changes among them.
void TakeEvents(XConnection& link, int xkbEventType) {
    while (!link.broken && XPending(link.display) > 0) {
        XkbEvent event;
        XNextEvent(link.display, &event.core);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.core.xmapping);
        } else if (event.type == xkbEventType && event.any.xkb_type == XkbMapNotify) {
            XkbRefreshKeyboardMapping(&event.map);
        }
    }
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

std::optional<XkbStateRec> KeyboardState(XConnection& link) {
    XkbStateRec state{};
    if (XkbGetState(link.display, XkbUseCoreKbd, &state) != Success || link.broken) {
        return std::nullopt;
    }
    return state;
}

}  // namespace

XTestKeySink::XTestKeySink(std::string displayName)
    : displayName_(std::move(displayName)), look_(displayName_), hold_(displayName_) {}

XTestKeySink::~XTestKeySink() { Disconnect(); }

OperatorKeyboard XTestKeySink::Keyboard() {
    if (!connection_ || connection_->link->broken || connection_->xkbEventType < 0) return {};
    std::optional<XkbStateRec> state;
    {
        HandlerScope scope(*connection_->link);
        state = KeyboardState(*connection_->link);
    }
    if (!state) return {};
    // Held and latched modifiers both reach the next key; a locked one
    // (Num Lock) does not make a shortcut of it.
    const unsigned int reaching = state->base_mods | state->latched_mods;
    // On a connection of its own, so after the scope above.
    return {HeldModifiers(reaching & ~LockMask), (state->locked_mods & kCharacterLocks) != 0,
            hold_.KeyDown()};
}

bool XTestKeySink::SuspendLocks() {
    if (!connection_ || connection_->link->broken || connection_->xkbEventType < 0) return false;
    XConnection& link = *connection_->link;
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
    if (locks == 0 || !connection_ || connection_->link->broken) return;
    HandlerScope scope(*connection_->link);
    XkbLockModifiers(connection_->link->display, XkbUseCoreKbd, locks, locks);
    XSync(connection_->link->display, False);
}

void XTestKeySink::Disconnect() {
    if (!connection_) return;
    if (!connection_->link->broken) {
        HandlerScope scope(*connection_->link);
        UnmapSpares();
    }
    connection_.reset();
}

// Opens the display and checks for XTest; the reason in problem_ when not.
bool XTestKeySink::Connect() {
    auto connection = std::make_unique<Connection>();
    connection->link = XConnection::Open(displayName_);
    if (!connection->link) {
        problem_ = text::kXServerUnreachable;
        return false;
    }
    XConnection& link = *connection->link;
    bool hasXTest = false;
    {
        HandlerScope scope(link);
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        hasXTest = XTestQueryExtension(link.display, &eventBase, &errorBase, &major, &minor);
        if (hasXTest) WatchMapChanges(link.display, connection->xkbEventType);
    }
    if (!hasXTest || link.broken) {
        problem_ = hasXTest ? text::kXServerUnreachable : text::kXTestMissing;
        return false;
    }
    connection_ = std::move(connection);
    return true;
}

bool XTestKeySink::Begin() {
    if (connection_ && !connection_->link->broken) {
        // A round trip tells whether the server is still there and makes sure
        // every map change made before this call has arrived.
        HandlerScope scope(*connection_->link);
        XSync(connection_->link->display, False);
    }
    if (connection_ && connection_->link->broken) Disconnect();

    problem_.clear();
    look_.Restart();
    if (!connection_ && !Connect()) return false;

    Connection& connection = *connection_;
    HandlerScope scope(*connection.link);
    TakeEvents(*connection.link, connection.xkbEventType);
    UnmapSpares();
    connection.chords = {};
    connection.levels.reset();
    if (exact_) {
        // The operator may have switched the layout since the last capture.
        connection.levels = KeyLevels::Read(connection.link->display);
        if (!connection.levels) {
            problem_ = text::kXKeyboardUnreadable;
            return false;
        }
    }
    std::optional<std::uint8_t> missing;
    for (std::size_t virtualKey = 0; virtualKey < connection.keycodes.size(); ++virtualKey) {
        const auto keysym = KeysymFor(static_cast<std::uint8_t>(virtualKey));
        KeyCode& keycode = connection.keycodes[virtualKey];
        keycode = keysym ? XKeysymToKeycode(connection.link->display, *keysym) : 0;
        if (keysym && keycode == 0 && !missing) missing = static_cast<std::uint8_t>(virtualKey);
    }
    // By character, only Shift must be there; the rest is found or put on
    // a spare key as it comes.
    if (exact_ && missing != vk::Shift) missing.reset();
    if (missing) {
        problem_ = std::string(text::kLayoutLacksKey) + KeyName(*missing) +
                   std::string(text::kLayoutLacksKeyEnd);
    }
    if (connection.link->broken) problem_ = text::kXServerUnreachable;
    return problem_.empty();
}

KeyTarget XTestKeySink::Target() { return look_.Look(); }

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
    if (!connection_ || connection_->link->broken) return false;
    HandlerScope scope(*connection_->link);
    if (connection_->levels) return SendCharacter(event);
    const KeyCode keycode = connection_->keycodes[event.virtualKey];
    return keycode != 0 && Fake(keycode, !event.keyUp);
}

bool XTestKeySink::Fake(KeyCode keycode, bool press) {
    XConnection& link = *connection_->link;
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
    XChangeKeyboardMapping(connection.link->display, spare, 2, symbols, 1);
    connection.spares.push_back(spare);
    XSync(connection.link->display, False);
    if (connection.link->refused || connection.link->broken) return std::nullopt;
    return KeyChord{spare, 0};
}

// Called with the handlers in place.
void XTestKeySink::UnmapSpares() {
    Connection& connection = *connection_;
    if (connection.spares.empty()) return;
    KeySym none[] = {NoSymbol};
    for (const KeyCode spare : connection.spares) {
        XChangeKeyboardMapping(connection.link->display, spare, 1, none, 1);
    }
    connection.spares.clear();
    XSync(connection.link->display, False);
}

}  // namespace vm4417
