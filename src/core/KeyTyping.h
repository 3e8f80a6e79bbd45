#pragma once
// Typing a capture into the focused application as synthetic key events.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Clock.h"
#include "KeySink.h"

namespace vm4417 {

// The pause after key events, long enough for slow receiving programs.
inline constexpr std::chrono::milliseconds kKeyDelay{30};
// How long a capture waits for the operator to let go of Ctrl, Alt, Super or
// AltGr (a shortcut pressed at the moment a chip touched the reader), and
// how often it looks meanwhile.
inline constexpr std::chrono::milliseconds kModifierReleaseWait{1500};
inline constexpr std::chrono::milliseconds kModifierPoll{5};
// The longest settling of a freshly set-up way that a capture waits out
// instead of failing.
inline constexpr std::chrono::milliseconds kSettleWaitLimit{1500};
// Where a way sees the operator's keys but cannot hold them back, a capture
// waits for a pause in the operator's typing this long, for at most the
// wait below, so that its keys do not land among the operator's.
inline constexpr std::chrono::milliseconds kOperatorPause{300};
inline constexpr std::chrono::milliseconds kOperatorPauseWait{1500};

// The virtual key that types `c` with Shift held, or nothing when no key is
// safe for it. Digits and letters of either case use their own keys (lower
// case letters deliberately avoid 0x61..0x7A, which are keypad and function
// keys), "-" and ":" use the keypad minus, and a space the space bar. Other
// characters would land on editing keys (Insert, Delete, cursor keys) that
// change the target document, so they are refused.
std::optional<std::uint8_t> VirtualKeyFor(char c);

struct KeyStep {
    KeyEvent event;
    std::chrono::milliseconds pauseAfter{0};

    friend bool operator==(const KeyStep&, const KeyStep&) = default;
};

struct CaptureKeys {
    std::uint32_t counter = 0;
    std::string_view time;  // "HH:MM:SS"
    std::string_view code;  // typed in full, whatever its length
    bool withOrder = false;
    bool withTime = false;
    bool exactCharacters = false;  // see KeySink::SetExactCharacters()
};

// The whole event sequence with its pauses: Shift down; the order number and
// five spaces; the time and five spaces; the code; Shift up; Enter; Shift up
// once more. Nothing when a character has no safe key.
std::optional<std::vector<KeyStep>> BuildKeySequence(const CaptureKeys& capture);

struct TypingOutcome {
    bool typed = false;
    // Why not, in Czech for the operator; empty when there is nothing to add
    // to the keyboard error.
    std::string problem;
    // The operator's own keys during the capture: held back and delivered
    // after it, dropped, or seen going through among its keys.
    OperatorKeysOutcome operatorKeys;
    // A way that only sees the operator's keys saw some among the capture's.
    bool OperatorKeysMixedIn() const { return operatorKeys.seen > 0; }
};

// Types the capture and blocks for the pauses. Before the first key it waits
// out a way's settling, then, where the way shows the operator's keyboard,
// for the operator to let go of a shortcut modifier (never typing while one
// is held; with exact characters Shift counts too), and switches Caps Lock
// and Shift Lock off for the capture and back on after it. The keys the
// operator types meanwhile are held back where the way can, and delivered
// after the Enter when they would go where the capture's keys went and the
// hold lasted no longer than kOperatorKeysHoldLimit (dropped and told
// otherwise); where the way only sees them, the capture waits for a pause
// in the operator's typing (at most kOperatorPauseWait, then it is not
// typed) and tells the keys that went through among its own. Before the first
// key and before every key-down it looks where the keys would go (see
// KeySink::Target()): a locked session or this program's own window stops
// the capture at once, and so does a focus that moved to another window
// after the first key; no key is left down then. Not typed: no display, a
// refused character or send, a modifier held past the wait, a lock that stays
// on, keys that would go elsewhere; the caller then keeps the capture visible
// in the window instead.
TypingOutcome TypeCapture(KeySink& sink, Clock& clock, const CaptureKeys& capture);

// "Ctrl", "Ctrl, Alt", ...: the modifiers of a `held` bit set, for the
// operator.
std::string HeldModifierNames(std::uint8_t heldModifiers);

}  // namespace vm4417
