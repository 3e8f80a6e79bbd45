#pragma once
// Synthetic keyboard events for the application that has the focus. Events
// carry Windows virtual-key codes; each backend maps them to its own keys.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace vm4417 {

// The key codes the typing uses, named as Windows names its virtual keys
// (VK_RETURN, …; the VK_ prefix is a macro there). Digits and capital letters
// are their own ASCII codes. Every backend reads this one vocabulary.
namespace vk {
inline constexpr std::uint8_t Return = 0x0D;
inline constexpr std::uint8_t Shift = 0x10;
inline constexpr std::uint8_t Space = 0x20;
inline constexpr std::uint8_t Subtract = 0x6D;  // the numeric keypad's minus
inline constexpr bool IsDigit(std::uint8_t key) { return key >= '0' && key <= '9'; }
inline constexpr bool IsLetter(std::uint8_t key) { return key >= 'A' && key <= 'Z'; }
}  // namespace vk

struct KeyEvent {
    std::uint8_t virtualKey = 0;
    bool keyUp = false;
    // The scan-code value carried by every event. It is a fixed 1 (the
    // Escape key's scan code) rather than the key's own: receivers go by the
    // virtual-key code, and backends that address keys by virtual-key code
    // alone ignore it.
    std::uint8_t scanCode = 1;

    friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

// Modifiers of the operator's own keyboard that would turn a typed key into
// a shortcut. Shift is not among them: the typing holds Shift itself.
namespace held {
inline constexpr std::uint8_t Ctrl = 1 << 0;
inline constexpr std::uint8_t Alt = 1 << 1;
inline constexpr std::uint8_t Super = 1 << 2;
inline constexpr std::uint8_t AltGr = 1 << 3;
inline constexpr std::uint8_t Other = 1 << 4;  // any other modifier (Hyper, Num Lock held down)
// Harmless where the typing holds Shift anyway; not where it types each
// character at its own level.
inline constexpr std::uint8_t Shift = 1 << 5;
}  // namespace held

// The operator's own keyboard as a way of typing sees it. A part the way
// cannot see is empty; so is a part that cannot touch the typed keys (a
// virtual keyboard with modifiers and locks of its own).
struct OperatorKeyboard {
    std::optional<std::uint8_t> heldModifiers;  // `held` bits down or latched now
    std::optional<bool> capsLock;               // Caps Lock or Shift Lock on
    // A key other than the modifiers is down. Where a way holds the
    // operator's keys back during a capture, a key still down when the hold
    // begins would have its release held too, and the capture's own press of
    // the same key would then be taken for a repeat and lost.
    std::optional<bool> keyDown = std::nullopt;
};

// Where the keys of a capture would go now, as a way of typing (or the
// desktop around it) sees it. A part that cannot be seen is empty, and an
// empty part never stops a capture.
struct KeyTarget {
    // The window that has the keyboard focus: an id that stays the same while
    // the focus stays in that window; 0 while no window has it (a focus that
    // leaves the capture's window for none has moved too).
    std::optional<std::uint64_t> focus;
    // That window is one of this program's own (the main window, its message
    // boxes, the maker window).
    std::optional<bool> ownWindow;
    // The session is locked, or a secure screen of the system has the
    // keyboard (a password prompt of the session, not of an application).
    std::optional<bool> locked;
    // Another program holds the keyboard, so keys would not reach the window
    // that has the focus: a screen locker that the way cannot tell from a
    // menu or the window manager's key bindings.
    std::optional<bool> keyboardTaken = std::nullopt;

    friend bool operator==(const KeyTarget&, const KeyTarget&) = default;
};

// What a way does with the keys the operator types while a capture is being
// typed (a note typed on, a colleague's chip touched meanwhile).
enum class OperatorKeys {
    Unseen,  // it cannot see them: they may land among the capture's keys
    Seen,    // it sees them go through, but cannot hold them back
    Held,    // it holds them back and delivers them after the capture's Enter
};

// What became of the operator's keys during one capture.
struct OperatorKeysOutcome {
    // Held back, then delivered after the capture, in order: presses the
    // system took from the way.
    int delivered = 0;
    // Held back and thrown away instead of delivered late: the capture's
    // rule said no (see ReleaseOperatorKeys()), or the system refused them.
    int dropped = 0;
    int seen = 0;  // key presses seen going through (a way that only sees them)

    friend bool operator==(const OperatorKeysOutcome&, const OperatorKeysOutcome&) = default;
};

// The longest a hold of the operator's keys may last, from
// HoldOperatorKeys() to ReleaseOperatorKeys(), for them to be delivered; a
// longer one drops them all rather than deliver them into whatever the
// operator did since.
inline constexpr std::chrono::milliseconds kOperatorKeysHoldLimit{3000};

// Every function is abstract, so that a sink that passes the calls on to
// another one (the choice among the ways of typing) cannot leave one out
// without the compiler saying so: a forgotten call would otherwise fall to
// an empty default, and an option or a check would silently never reach the
// way that types.
class KeySink {
public:
    virtual ~KeySink() = default;

    // Prepares delivery (connects to the display, checks that every key used
    // by the typing can be produced). False: nothing can be typed now.
    virtual bool Begin() = 0;
    // Delivers one event at once (flushed). False when it could not be sent.
    virtual bool Send(const KeyEvent& event) = 0;

    // How the next captures are typed. False: the keys themselves, so that
    // the target's layout decides the characters. True: for each key, the
    // character it gives on a Czech keyboard with Shift held, on whatever
    // layout the target has; the design's Shift events then go nowhere and
    // Shift (or AltGr) is pressed only around a key whose level needs it.
    // Ways that always type characters ignore it.
    virtual void SetExactCharacters(bool exact) = 0;
    // Why the last Begin() or Send() failed, in Czech for the operator;
    // empty when the way has nothing to add to the keyboard error.
    virtual std::string Problem() const = 0;
    // How long until Begin() can succeed when nothing but time stands in its
    // way (a way that settles after set-up); zero otherwise.
    virtual std::chrono::milliseconds SettlingFor() = 0;
    // The operator's keyboard now; asked after a successful Begin(). Empty
    // parts where the way cannot see them.
    virtual OperatorKeyboard Keyboard() = 0;
    // Switches Caps Lock and Shift Lock off for one capture, without any
    // character reaching the application. False when they could not be switched
    // off; nothing is typed then. Asked only when Keyboard() showed a lock on.
    virtual bool SuspendLocks() = 0;
    // Puts back exactly the locks SuspendLocks() switched off.
    virtual void RestoreLocks() = 0;
    // Where the keys would go now; asked after a successful Begin(), before
    // the first key and again before every key that goes down, so it must
    // be quick (no more than a round trip to the display).
    virtual KeyTarget Target() = 0;

    // From now until ReleaseOperatorKeys(), holds back the keys the operator
    // types, where the way can, or watches for them; called once per
    // capture, after the looks and waits, right before its first key. Says
    // which of the two the way does.
    virtual OperatorKeys HoldOperatorKeys() = 0;
    // How many key presses of the operator the way has seen since
    // HoldOperatorKeys(), held back or gone through; 0 where it sees none.
    virtual int OperatorKeysSeen() = 0;
    // Ends the hold after the capture's last key (its Enter, or the key where
    // it stopped). With `deliver` it sends what was held, in the order typed,
    // as the operator typed it (not under the capture's Shift), and a key
    // held down across the capture ends up as the operator left it. Without
    // it every held press is dropped, and only the releases of keys that
    // were down when the hold began are sent, so that none stays down. The
    // typing decides `deliver` (the same look as before each key, and the
    // hold limit); the way only follows it and counts what the system took.
    // Called after every HoldOperatorKeys().
    virtual OperatorKeysOutcome ReleaseOperatorKeys(bool deliver) = 0;
};

}  // namespace vm4417
