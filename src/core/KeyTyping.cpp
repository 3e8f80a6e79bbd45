#include "KeyTyping.h"

#include <string>
#include <utility>

#include "Global.h"
#include "Texts.h"

namespace vm4417 {

namespace {

constexpr int kSpacesAfterField = 5;

class SequenceBuilder {
public:
    void Down(std::uint8_t key, std::chrono::milliseconds pause) {
        steps_.push_back({KeyEvent{key, false}, pause});
    }
    void Up(std::uint8_t key, std::chrono::milliseconds pause) {
        steps_.push_back({KeyEvent{key, true}, pause});
    }
    void Tap(std::uint8_t key) {
        Down(key, kKeyDelay);
        Up(key, kKeyDelay);
    }
    void Pause(std::chrono::milliseconds pause) { steps_.back().pauseAfter += pause; }
    // Taps every character; false when one has no safe key.
    bool TapText(std::string_view text) {
        for (char c : text) {
            const auto key = VirtualKeyFor(c);
            if (!key) return false;
            Tap(*key);
        }
        return true;
    }
    void TapSpaces() {
        for (int i = 0; i < kSpacesAfterField; ++i) Tap(vk::Space);
    }
    std::vector<KeyStep> Take() { return std::move(steps_); }

private:
    std::vector<KeyStep> steps_;
};

}  // namespace

std::optional<std::uint8_t> VirtualKeyFor(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c);
    if (c >= 'A' && c <= 'Z') return static_cast<std::uint8_t>(c);
    if (c >= 'a' && c <= 'z') return static_cast<std::uint8_t>(c - 'a' + 'A');
    if (c == '-' || c == ':') return vk::Subtract;
    if (c == ' ') return vk::Space;
    return std::nullopt;
}

std::optional<std::vector<KeyStep>> BuildKeySequence(const CaptureKeys& capture) {
    SequenceBuilder keys;
    keys.Down(vk::Shift, kKeyDelay);
    if (capture.withOrder) {
        keys.TapText(CounterText(capture.counter));
        keys.TapSpaces();
    }
    if (capture.withTime) {
        if (!keys.TapText(capture.time)) return std::nullopt;
        keys.TapSpaces();
    }
    // Code keys follow each other without a pause after the key-up.
    for (char c : capture.code) {
        const auto key = VirtualKeyFor(c);
        if (!key) return std::nullopt;
        keys.Down(*key, kKeyDelay);
        keys.Up(*key, std::chrono::milliseconds{0});
    }
    keys.Pause(kKeyDelay);
    keys.Up(vk::Shift, kKeyDelay);
    keys.Tap(vk::Return);
    // A second Shift-up makes sure no Shift stays stuck in the target.
    keys.Up(vk::Shift, std::chrono::milliseconds{0});
    return keys.Take();
}

namespace {

// Waits, bounded, while the way settles after its set-up.
void WaitWhileSettling(KeySink& sink, Clock& clock) {
    const auto settling = sink.SettlingFor();
    if (settling.count() > 0 && settling <= kSettleWaitLimit) clock.SleepFor(settling);
}

struct StillHeld {
    std::uint8_t modifiers = 0;  // among the watched ones
    bool key = false;            // a key other than the modifiers
};

// What the operator still holds once the wait is over: nothing (or what the
// way cannot see) when everything was let go in time.
StillHeld WaitForKeysReleased(KeySink& sink, Clock& clock, std::uint8_t watched) {
    const Clock::TimePoint deadline = clock.Now() + kModifierReleaseWait;
    for (;;) {
        const OperatorKeyboard keyboard = sink.Keyboard();
        const StillHeld now{static_cast<std::uint8_t>(keyboard.heldModifiers.value_or(0) & watched),
                            keyboard.keyDown.value_or(false)};
        if ((now.modifiers == 0 && !now.key) || clock.Now() >= deadline) return now;
        clock.SleepFor(kModifierPoll);
    }
}

std::string HeldText(const StillHeld& held) {
    if (held.modifiers == 0) return std::string(text::kSomeKeyHeld);
    const bool one = (held.modifiers & (held.modifiers - 1)) == 0;
    return std::string(one ? text::kKeyHeld : text::kKeysHeld) + HeldModifierNames(held.modifiers);
}

// Keys go only where the operator meant them: never into a locked session's
// password prompt (each Enter would count as a failed login), never into this
// program's own window (the Enter would press its focused button), and only
// into the window that had the focus at the first key (a split code must not
// be submitted in another application). Asked before the first key, before
// every key that goes down, and once more for the operator's keys held
// during the capture, which follow the same rule; what the sink cannot see
// never stops the typing.
class TargetWatch {
public:
    explicit TargetWatch(KeySink& sink) : sink_(sink) {}

    // Where the keys would go now; notes the window that has the focus as
    // the one the capture is meant for. The reason not to type, or empty.
    std::string_view Look() {
        const KeyTarget now = sink_.Target();
        focus_ = now.focus;
        return Refusal(now);
    }
    // Before a later key: the same, and the focus still where Look() found it.
    std::string_view Again(bool charactersSent) {
        const KeyTarget now = sink_.Target();
        if (const std::string_view refusal = Refusal(now); !refusal.empty()) return refusal;
        if (focus_ && now.focus && *now.focus != *focus_) {
            return charactersSent ? text::kFocusMovedWhileTyping : text::kFocusMovedBeforeTyping;
        }
        return {};
    }
    // After the capture: whether the keys the operator typed meanwhile may
    // follow it. They go only where the capture's keys could go now (the
    // look before a later key), and only after a short hold: held longer
    // than kOperatorKeysHoldLimit they would land in whatever the operator
    // did since.
    bool MayDeliverHeldKeys(Clock::TimePoint::duration heldFor) {
        return heldFor <= kOperatorKeysHoldLimit && Again(true).empty();
    }

private:
    static std::string_view Refusal(const KeyTarget& now) {
        if (now.locked == true) return text::kSessionLocked;
        if (now.keyboardTaken == true) return text::kKeyboardTaken;
        if (now.ownWindow == true) return text::kFocusInOwnWindow;
        return {};
    }

    KeySink& sink_;
    std::optional<std::uint64_t> focus_;
};

// Sends the steps with their pauses, looking where the keys go before each
// key-down. On a refused event or a look that says stop it lets go of what is
// held, so that no key repeats in the target and no Shift stays down. The
// reason not to go on (empty when the way has none to give), or nothing when
// every step was sent.
std::optional<std::string> SendSequence(KeySink& sink, Clock& clock,
                                        const std::vector<KeyStep>& sequence, TargetWatch& watch) {
    int held = -1;  // a key other than Shift that is down, if any
    bool charactersSent = false;
    const auto letGo = [&] {
        if (held >= 0) sink.Send(KeyEvent{static_cast<std::uint8_t>(held), true});
        sink.Send(KeyEvent{vk::Shift, true});
    };
    for (const KeyStep& step : sequence) {
        if (!step.event.keyUp) {
            if (const std::string_view refusal = watch.Again(charactersSent); !refusal.empty()) {
                letGo();
                return std::string(refusal);
            }
        }
        if (!sink.Send(step.event)) {
            letGo();
            return sink.Problem();
        }
        if (step.event.virtualKey != vk::Shift) {
            held = step.event.keyUp ? -1 : step.event.virtualKey;
            charactersSent = true;
        }
        if (step.pauseAfter.count() > 0) clock.SleepFor(step.pauseAfter);
    }
    return std::nullopt;
}

// Where the way only sees the operator's keys: true once the operator has
// paused typing for kOperatorPause, false when no such pause came within
// kOperatorPauseWait.
bool WaitForOperatorPause(KeySink& sink, Clock& clock) {
    const Clock::TimePoint deadline = clock.Now() + kOperatorPauseWait;
    for (;;) {
        const int before = sink.OperatorKeysSeen();
        clock.SleepFor(kOperatorPause);
        if (sink.OperatorKeysSeen() == before) return true;
        if (clock.Now() >= deadline) return false;
    }
}

// The keys, with the operator's own held back or watched around them.
TypingOutcome SendAmidOperatorKeys(KeySink& sink, Clock& clock,
                                   const std::vector<KeyStep>& sequence, TargetWatch& watch,
                                   bool locksOn) {
    TypingOutcome outcome;
    const Clock::TimePoint holdBegan = clock.Now();
    const OperatorKeys operatorKeys = sink.HoldOperatorKeys();
    bool paused = true;
    if (operatorKeys == OperatorKeys::Seen) paused = WaitForOperatorPause(sink, clock);
    const int seenBefore = sink.OperatorKeysSeen();
    std::optional<std::string> stopped;
    if (paused) {
        stopped = SendSequence(sink, clock, sequence, watch);
    } else {
        stopped = std::string(text::kOperatorTyping);
    }
    // The operator's keys come back under the operator's own locks.
    if (locksOn) sink.RestoreLocks();
    // A way that holds nothing is not asked where the keys would go.
    const bool deliver =
        operatorKeys != OperatorKeys::Unseen && watch.MayDeliverHeldKeys(clock.Now() - holdBegan);
    outcome.operatorKeys = sink.ReleaseOperatorKeys(deliver);
    outcome.operatorKeys.seen =
        operatorKeys == OperatorKeys::Seen && paused ? outcome.operatorKeys.seen - seenBefore : 0;
    outcome.typed = !stopped;
    if (stopped) outcome.problem = *stopped;
    return outcome;
}

// Everything after a successful Begin().
TypingOutcome TypeBegun(KeySink& sink, Clock& clock, const std::vector<KeyStep>& sequence,
                        bool exactCharacters) {
    TargetWatch watch(sink);
    // A locked screen or the program's own window is not waited for.
    if (const std::string_view refusal = watch.Look(); !refusal.empty()) {
        return {false, std::string(refusal), {}};
    }
    // A key typed while the operator holds Ctrl or Alt would reach the
    // application as a shortcut (select all, close the tab): never type then.
    // A held Shift only matters where the typing does not hold Shift itself.
    // A key still down would have its release held back with the operator's
    // keys, so that is waited for too.
    const auto watched = static_cast<std::uint8_t>(exactCharacters ? 0xFF : ~held::Shift);
    if (const StillHeld held = WaitForKeysReleased(sink, clock, watched);
        held.modifiers || held.key) {
        return {false, HeldText(held), {}};
    }
    // The capture is meant for the window that has the focus once the
    // operator let go: a held Alt may have been Alt+Tab.
    if (const std::string_view refusal = watch.Look(); !refusal.empty()) {
        return {false, std::string(refusal), {}};
    }
    const bool locksOn = sink.Keyboard().capsLock.value_or(false);
    if (locksOn && !sink.SuspendLocks()) return {false, std::string(text::kCapsLockStuck), {}};
    return SendAmidOperatorKeys(sink, clock, sequence, watch, locksOn);
}

}  // namespace

TypingOutcome TypeCapture(KeySink& sink, Clock& clock, const CaptureKeys& capture) {
    const auto sequence = BuildKeySequence(capture);
    if (!sequence) return {false, std::string(text::kUntypableCode), {}};
    sink.SetExactCharacters(capture.exactCharacters);
    WaitWhileSettling(sink, clock);
    if (!sink.Begin()) return {false, sink.Problem(), {}};
    return TypeBegun(sink, clock, *sequence, capture.exactCharacters);
}

std::string HeldModifierNames(std::uint8_t heldModifiers) {
    static constexpr std::pair<std::uint8_t, std::string_view> kNames[] = {
        {held::Ctrl, "Ctrl"},   {held::Alt, "Alt"},   {held::Super, "Super"},
        {held::AltGr, "AltGr"}, {held::Other, "Mod"}, {held::Shift, "Shift"},
    };
    std::string names;
    for (const auto& [bit, name] : kNames) {
        if ((heldModifiers & bit) == 0) continue;
        if (!names.empty()) names += ", ";
        names += name;
    }
    return names;
}

}  // namespace vm4417
