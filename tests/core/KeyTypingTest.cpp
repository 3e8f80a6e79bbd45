// The key sequence that types a capture, against a recording sink.

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <set>
#include <utility>
#include <vector>

#include "FakeClock.h"
#include "KeyTyping.h"
#include "RecordingKeySink.h"
#include "Texts.h"

namespace vm4417 {
namespace {

using namespace std::chrono_literals;
using test::FakeClock;
using test::RecordingKeySink;

std::vector<std::uint8_t> KeysDown(const std::vector<KeyEvent>& events) {
    std::vector<std::uint8_t> keys;
    for (const KeyEvent& e : events) {
        if (!e.keyUp) keys.push_back(e.virtualKey);
    }
    return keys;
}

std::vector<std::uint8_t> Keys(std::string_view text) {
    std::vector<std::uint8_t> keys;
    for (char c : text)
        keys.push_back(c == ':' || c == '-' ? vk::Subtract : static_cast<std::uint8_t>(c));
    return keys;
}

class Typing : public ::testing::Test {
protected:
    bool Type(CaptureKeys capture) { return TypeCapture(sink, clock, capture).typed; }

    FakeClock clock;
    RecordingKeySink sink{clock};
};

TEST_F(Typing, TheExampleWithOrderAndTime) {
    ASSERT_TRUE(Type({7, "09:41:05", "00000A1B2C3D", true, true}));
    std::vector<std::uint8_t> expected{vk::Shift, '7'};
    expected.insert(expected.end(), 5, vk::Space);
    for (auto k : Keys("09:41:05")) expected.push_back(k);
    expected.insert(expected.end(), 5, vk::Space);
    for (auto k : Keys("00000A1B2C3D")) expected.push_back(k);
    expected.push_back(vk::Return);
    EXPECT_EQ(KeysDown(sink.events), expected);

    const auto n = sink.events.size();
    ASSERT_GE(n, 4u);
    EXPECT_EQ(sink.events[n - 4], (KeyEvent{vk::Shift, true}));
    EXPECT_EQ(sink.events[n - 3], (KeyEvent{vk::Return, false}));
    EXPECT_EQ(sink.events[n - 2], (KeyEvent{vk::Return, true}));
    EXPECT_EQ(sink.events[n - 1], (KeyEvent{vk::Shift, true}));
    for (const KeyEvent& e : sink.events) EXPECT_EQ(e.scanCode, 1);
}

TEST_F(Typing, EveryKeyGoesUpBeforeTheNextGoesDown) {
    ASSERT_TRUE(Type({4294967295u, "23:59:59", "00000A1B2C3D", true, true}));
    // Skip the Shift press; from then on downs and ups alternate in pairs.
    std::optional<std::uint8_t> held;
    for (std::size_t i = 1; i + 2 < sink.events.size(); ++i) {
        const KeyEvent& e = sink.events[i];
        if (e.virtualKey == vk::Shift) continue;
        if (!e.keyUp) {
            EXPECT_FALSE(held) << "key " << int(e.virtualKey)
                               << " went down while another was held";
            held = e.virtualKey;
        } else {
            EXPECT_EQ(held, e.virtualKey);
            held.reset();
        }
    }
}

TEST_F(Typing, CodeOnlyTakesTheDesignedPauses) {
    ASSERT_TRUE(Type({7, "09:41:05", "00000A1B2C3D", false, false}));
    EXPECT_EQ(KeysDown(sink.events).front(), vk::Shift);
    EXPECT_EQ(sink.events.size(), 1u + 24u + 1u + 2u + 1u);
    const auto total = std::accumulate(clock.sleeps.begin(), clock.sleeps.end(), 0ms);
    EXPECT_EQ(total, 510ms);
    // Code keys: 30 ms between down and up, none between up and the next down.
    const auto at = [&](std::size_t i) { return sink.times[i] - sink.times[0]; };
    EXPECT_EQ(at(1), 30ms);    // first code key down after Shift's pause
    EXPECT_EQ(at(2), 60ms);    // its key up
    EXPECT_EQ(at(3), 60ms);    // the next key down at once
    EXPECT_EQ(at(24), 390ms);  // the last code key up
    EXPECT_EQ(at(25), 420ms);  // Shift up after one more pause
    EXPECT_EQ(at(26), 450ms);  // Enter down
    EXPECT_EQ(at(27), 480ms);  // Enter up
    EXPECT_EQ(at(28), 510ms);  // the second Shift up ends it
}

TEST_F(Typing, CodesAreTypedWithSafeKeysAndAtTheirFullLength) {
    struct Case {
        std::string_view code;
        std::vector<std::uint8_t> keys;
    };
    const Case cases[] = {
        // A negative decimal code: keypad minus, never 0x2D (Insert pastes).
        {"-16", {vk::Subtract, '1', '6'}},
        // Lower-case hex: letter keys, never 0x61..0x66 (keypad cursor keys).
        {"00000a1b2c3d", Keys("00000A1B2C3D")},
        // A 10-digit decimal code keeps all of its digits; a short demo code
        // types nothing beyond its end.
        {"2147483647", Keys("2147483647")},
        {"0ABCDEF1", Keys("0ABCDEF1")},
    };
    for (const Case& c : cases) {
        sink.events.clear();
        ASSERT_TRUE(Type({1, "00:00:00", c.code, false, false})) << c.code;
        auto keys = KeysDown(sink.events);
        EXPECT_EQ(std::vector<std::uint8_t>(keys.begin() + 1, keys.end() - 1), c.keys) << c.code;
    }
}

TEST_F(Typing, NothingIsTypedWhenItCannotAllBeDelivered) {
    // Characters without a safe key (here Delete and a cursor key).
    EXPECT_FALSE(Type({1, "00:00:00", "0000.000(000", false, false}));
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(sink.begins, 0);

    sink.available = false;
    EXPECT_FALSE(Type({1, "00:00:00", "00000A1B2C3D", false, false}));
    EXPECT_TRUE(sink.events.empty());
}

TEST_F(Typing, AFailedSendReleasesWhatIsHeld) {
    sink.failAfter = 4;  // Shift, 0 down, 0 up, 0 down: the key-up fails
    EXPECT_FALSE(Type({1, "00:00:00", "00000A1B2C3D", false, false}));
    EXPECT_EQ(sink.events.size(), 4u);
    EXPECT_EQ(sink.rejected, (std::vector<KeyEvent>{{'0', true}, {'0', true}, {vk::Shift, true}}));

    sink.events.clear();
    sink.rejected.clear();
    sink.failAfter = 3;  // after a key went up, only Shift is still held
    EXPECT_FALSE(Type({1, "00:00:00", "00000A1B2C3D", false, false}));
    EXPECT_EQ(sink.rejected, (std::vector<KeyEvent>{{'0', false}, {vk::Shift, true}}));
}

// The operator's keyboard as the way shows it: Ctrl held until `releaseAt`
// on the fake clock.
std::function<OperatorKeyboard()> CtrlHeldUntil(FakeClock& clock, Clock::TimePoint releaseAt) {
    return [&clock, releaseAt] {
        const bool down = clock.Now() < releaseAt;
        return OperatorKeyboard{static_cast<std::uint8_t>(down ? held::Ctrl : 0), false};
    };
}

TEST_F(Typing, AHeldModifierIsWaitedOutAndNoKeyGoesBeforeItIsLetGo) {
    const auto releaseAt = clock.Now() + 700ms;
    sink.keyboard = CtrlHeldUntil(clock, releaseAt);
    ASSERT_TRUE(Type({7, "09:41:05", "00000A1B2C3D", false, false}));
    ASSERT_FALSE(sink.times.empty());
    EXPECT_GE(sink.times.front(), releaseAt);
    EXPECT_LT(sink.times.front(), releaseAt + 2 * kModifierPoll);
    EXPECT_EQ(sink.events.size(), 29u) << "the whole sequence, once";
}

TEST_F(Typing, AModifierHeldPastTheWaitTypesNothingAndSaysWhich) {
    const auto start = clock.Now();
    sink.keyboard = [] { return OperatorKeyboard{held::Ctrl | held::Alt, false}; };
    const TypingOutcome outcome = TypeCapture(sink, clock, {7, "09:41:05", "00000A1B2C3D"});
    EXPECT_FALSE(outcome.typed);
    EXPECT_EQ(outcome.problem, "jsou stisknuté klávesy Ctrl, Alt");
    EXPECT_TRUE(sink.events.empty());
    EXPECT_GE(clock.Now() - start, kModifierReleaseWait);
    EXPECT_LT(clock.Now() - start, kModifierReleaseWait + 2 * kModifierPoll);

    sink.keyboard = [] { return OperatorKeyboard{held::AltGr, false}; };
    EXPECT_EQ(TypeCapture(sink, clock, {7, "09:41:05", "0"}).problem, "je stisknutá klávesa AltGr");
}

TEST_F(Typing, AHeldShiftMattersOnlyWhenTypingByCharacter) {
    sink.keyboard = [] { return OperatorKeyboard{held::Shift, false}; };
    CaptureKeys capture{7, "09:41:05", "0"};
    EXPECT_TRUE(TypeCapture(sink, clock, capture).typed) << "the design holds Shift anyway";
    capture.exactCharacters = true;
    EXPECT_EQ(TypeCapture(sink, clock, capture).problem, "je stisknutá klávesa Shift");
    EXPECT_TRUE(sink.exact);
}

TEST_F(Typing, AWayThatCannotSeeTheKeyboardTypesAtOnce) {
    sink.keyboard = [] { return OperatorKeyboard{}; };
    ASSERT_TRUE(Type({7, "09:41:05", "00000A1B2C3D", false, false}));
    EXPECT_EQ(sink.times.front(), clock.Now() - 510ms) << "no wait before the first key";
    const std::vector<RecordingKeySink::LockCall> around{{"hold", 0}, {"release", 29}};
    EXPECT_EQ(sink.lockCalls, around) << "no lock touched";
}

TEST_F(Typing, CapsLockIsOffForTheWholeCaptureAndBackOnAfterIt) {
    sink.keyboard = [] { return OperatorKeyboard{0, true}; };
    ASSERT_TRUE(Type({7, "09:41:05", "00000A1B2C3D", false, false}));
    // The operator's keys come back after the capture, under their own lock.
    const std::vector<RecordingKeySink::LockCall> around{
        {"suspend", 0}, {"hold", 0}, {"restore", 29}, {"release", 29}};
    EXPECT_EQ(sink.lockCalls, around);

    // A failed send still puts the lock back.
    sink.events.clear();
    sink.lockCalls.clear();
    sink.failAfter = 3;
    EXPECT_FALSE(Type({7, "09:41:05", "00000A1B2C3D", false, false}));
    ASSERT_EQ(sink.lockCalls.size(), 4u);
    EXPECT_EQ(sink.lockCalls[2].what, "restore");
    EXPECT_EQ(sink.lockCalls[3].what, "release") << "the operator's keys are let go too";

    // A lock that stays on: nothing is typed, and the operator hears why.
    sink.events.clear();
    sink.lockCalls.clear();
    sink.failAfter = -1;
    sink.locksGiveWay = false;
    const TypingOutcome outcome = TypeCapture(sink, clock, {7, "09:41:05", "00000A1B2C3D"});
    EXPECT_FALSE(outcome.typed);
    EXPECT_EQ(outcome.problem, "Caps Lock nejde vypnout");
    EXPECT_TRUE(sink.events.empty());
}

// Keys the operator types during a capture: a way that holds them delivers
// them after the capture; where they are only seen, the capture waits for a
// pause in the operator's typing and tells the keys that went through.
TEST_F(Typing, TheOperatorsKeysNeverMixUnnoticedIntoACapture) {
    sink.operatorKeys = OperatorKeys::Held;
    sink.released = {3, 1, 4};
    TypingOutcome outcome = TypeCapture(sink, clock, {7, "09:41:05", "00000A1B2C3D"});
    ASSERT_TRUE(outcome.typed);
    EXPECT_EQ(sink.times.front(), clock.Now() - 510ms) << "held keys are not waited for";
    EXPECT_EQ(outcome.operatorKeys.delivered, 3);
    EXPECT_EQ(outcome.operatorKeys.dropped, 1);
    EXPECT_FALSE(outcome.OperatorKeysMixedIn()) << "keys held back never mixed in";

    // Seen only: the operator types on for 700 ms after the touch, and once
    // more after the capture's fifth event.
    sink.events.clear();
    sink.times.clear();
    sink.lockCalls.clear();
    sink.operatorKeys = OperatorKeys::Seen;
    sink.released = {};
    const Clock::TimePoint touch = clock.Now();
    sink.operatorKeysSeen = [&](Clock::TimePoint now, std::size_t sent) {
        return static_cast<int>(std::min<Clock::TimePoint::duration>(now - touch, 700ms) / 100ms) +
               (sent > 5);
    };
    outcome = TypeCapture(sink, clock, {7, "09:41:05", "00000A1B2C3D"});
    ASSERT_TRUE(outcome.typed);
    EXPECT_GE(sink.times.front() - touch, 700ms + kOperatorPause - 1ms)
        << "the first key waits for a pause in the operator's typing";
    EXPECT_EQ(outcome.operatorKeys.seen, 1) << "the key typed among the capture's is told";
    EXPECT_TRUE(outcome.OperatorKeysMixedIn());

    // Typing on without a pause: nothing typed, and the operator hears why.
    sink.events.clear();
    sink.lockCalls.clear();
    sink.operatorKeysSeen = [](Clock::TimePoint now, std::size_t) {
        return static_cast<int>(now.time_since_epoch() / 100ms);
    };
    outcome = TypeCapture(sink, clock, {7, "09:41:05", "00000A1B2C3D"});
    EXPECT_FALSE(outcome.typed);
    EXPECT_EQ(outcome.problem, text::kOperatorTyping);
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(sink.lockCalls.back().what, "release");
}

TEST_F(Typing, AWayStillSettlingIsWaitedForWithinTheLimit) {
    sink.settling = 800ms;
    const auto start = clock.Now();
    Clock::TimePoint begunAt{};
    sink.onBegin = [&] { begunAt = clock.Now(); };
    ASSERT_TRUE(Type({7, "09:41:05", "0", false, false}));
    EXPECT_EQ(begunAt - start, 800ms);

    // A way that would take longer is not waited for: it fails as before.
    clock.sleeps.clear();
    sink.settling = kSettleWaitLimit + 1ms;
    sink.available = false;
    sink.problem = "not yet";
    const TypingOutcome outcome = TypeCapture(sink, clock, {7, "09:41:05", "0"});
    EXPECT_FALSE(outcome.typed);
    EXPECT_EQ(outcome.problem, "not yet");
    EXPECT_TRUE(clock.sleeps.empty());
}

// Where the keys would go, as the way reports it, decides whether the next
// key goes: the capture stops at the first look that says no, and leaves no
// key down.
TEST_F(Typing, KeysGoOnlyWhereTheOperatorMeantThem) {
    constexpr std::size_t kWhole = 29;  // events of a code-only capture
    const KeyTarget other{1, false, false};
    struct Case {
        const char* what;
        std::function<KeyTarget(std::size_t sent)> target;
        std::size_t eventsSent;    // before the capture stopped
        std::string_view problem;  // empty: typed
    };
    const Case cases[] = {
        {"locked from the start",
         [](std::size_t) {
             return KeyTarget{1, false, true};
         },
         0, text::kSessionLocked},
        {"the program's own window",
         [](std::size_t) {
             return KeyTarget{2, true, false};
         },
         0, text::kFocusInOwnWindow},
        {"another window took the focus after three code keys",
         [&](std::size_t sent) {
             return sent < 6 ? other : KeyTarget{2, false, false};
         },
         6, text::kFocusMovedWhileTyping},
        {"the focus moved before any character",
         [&](std::size_t sent) {
             return sent < 1 ? other : KeyTarget{2, false, false};
         },
         1, text::kFocusMovedBeforeTyping},
        {"locked before the Enter",
         [&](std::size_t sent) {
             return sent < 25 ? other : KeyTarget{1, false, true};
         },
         25, text::kSessionLocked},
        {"nothing seen", [](std::size_t) { return KeyTarget{}; }, kWhole, {}},
        {"focus seen only after the start",
         [](std::size_t sent) {
             return sent < 4 ? KeyTarget{} : KeyTarget{9, false, false};
         },
         kWhole,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sink.events.clear();
        sink.target = c.target;
        const TypingOutcome outcome = TypeCapture(sink, clock, {7, "09:41:05", "00000A1B2C3D"});
        EXPECT_EQ(outcome.typed, c.problem.empty());
        EXPECT_EQ(outcome.problem, c.problem);
        // What was sent before the stop, then the releases of what was down.
        ASSERT_GE(sink.events.size(), c.eventsSent);
        std::set<std::uint8_t> down;
        for (std::size_t i = 0; i < sink.events.size(); ++i) {
            const KeyEvent& e = sink.events[i];
            if (i >= c.eventsSent) {
                EXPECT_TRUE(e.keyUp) << "a key went down after the stop";
            }
            if (e.keyUp) {
                down.erase(e.virtualKey);
            } else {
                down.insert(e.virtualKey);
            }
        }
        EXPECT_TRUE(down.empty()) << "a key was left down";
    }
}

// The keys the operator typed during a capture follow it by the same rule as
// its own keys, looked at once more after its last key, and only after a
// short hold.
TEST_F(Typing, TheOperatorsHeldKeysFollowOnlyWhereTheCapturesKeysWent) {
    constexpr std::size_t kWhole = 29;  // events of a code-only capture
    const KeyTarget meant{1, false, false};
    const auto after = [&](std::size_t sentFirst, KeyTarget then) {
        return [&, sentFirst, then](std::size_t sent) { return sent < sentFirst ? meant : then; };
    };
    bool advanced = false;
    struct Case {
        const char* what;
        std::function<KeyTarget(std::size_t sent)> target;
        bool typed;
        bool deliver;
    };
    const Case cases[] = {
        {"the same window throughout", after(kWhole, meant), true, true},
        {"nothing seen", [](std::size_t) { return KeyTarget{}; }, true, true},
        {"the program's own window after the Enter", after(kWhole, {1, true, false}), true, false},
        {"the program's own window mid-capture", after(6, {2, true, false}), false, false},
        {"locked after the Enter", after(kWhole, {1, false, true}), true, false},
        {"the keyboard taken after the Enter", after(kWhole, {1, false, false, true}), true, false},
        {"another window after the Enter", after(kWhole, {2, false, false}), true, false},
        {"held past the limit",
         [&](std::size_t sent) {
             if (sent > 8 && !std::exchange(advanced, true)) clock.Advance(kOperatorKeysHoldLimit);
             return meant;
         },
         true, false},
    };
    sink.operatorKeys = OperatorKeys::Held;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sink.events.clear();
        sink.deliveries.clear();
        sink.target = c.target;
        EXPECT_EQ(TypeCapture(sink, clock, {7, "09:41:05", "00000A1B2C3D"}).typed, c.typed);
        EXPECT_EQ(sink.deliveries, std::vector<bool>{c.deliver});
    }
}

// A held Alt may be Alt+Tab: the capture goes to the window that has the focus
// once the operator lets go, not to the one that had it at the touch.
TEST_F(Typing, TheFocusCountsFromTheFirstKeyNotFromTheTouch) {
    const auto releaseAt = clock.Now() + 300ms;
    sink.keyboard = [&] {
        return OperatorKeyboard{static_cast<std::uint8_t>(clock.Now() < releaseAt ? held::Alt : 0),
                                false};
    };
    sink.target = [&](std::size_t) {
        return KeyTarget{clock.Now() < releaseAt ? 1u : 2u, false, false};
    };
    EXPECT_TRUE(TypeCapture(sink, clock, {7, "09:41:05", "00000A1B2C3D"}).typed);
}

}  // namespace
}  // namespace vm4417
