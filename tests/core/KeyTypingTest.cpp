// The key sequence that types a capture, against a recording sink.

#include <gtest/gtest.h>

#include <numeric>

#include "FakeClock.h"
#include "KeyTyping.h"
#include "RecordingKeySink.h"

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
    bool Type(CaptureKeys capture) { return TypeCapture(sink, clock, capture); }

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

}  // namespace
}  // namespace vm4417
