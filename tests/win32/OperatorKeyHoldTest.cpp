// What the hold of the operator's keys sends after a capture, decided from
// plain readings: the events as the hook took them, the tick count, the
// input desktop and the modifiers at the hold and at its release.

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "win32/OperatorKeyHold.h"

namespace vm4417::win32 {
namespace {

// A SendInput record as the test compares it.
struct Sent {
    WORD virtualKey;
    WORD scanCode;
    DWORD flags;
    friend bool operator==(const Sent&, const Sent&) = default;
};

std::vector<Sent> SentOf(const std::vector<INPUT>& inputs) {
    std::vector<Sent> sent;
    for (const INPUT& input : inputs) {
        // Untagged, the hook of a later capture would take the program's own
        // replay for the operator's keys.
        EXPECT_EQ(input.type, static_cast<DWORD>(INPUT_KEYBOARD));
        EXPECT_EQ(input.ki.dwExtraInfo, kOwnKeyTag);
        sent.push_back({input.ki.wVk, input.ki.wScan, input.ki.dwFlags});
    }
    return sent;
}

KBDLLHOOKSTRUCT Hooked(DWORD virtualKey, DWORD scanCode, DWORD flags) {
    KBDLLHOOKSTRUCT event{};
    event.vkCode = virtualKey;
    event.scanCode = scanCode;
    event.flags = flags;
    return event;
}

struct AsTypedCase {
    const char* name;
    std::vector<KBDLLHOOKSTRUCT> hooked;
    std::vector<Sent> sent;
};

// Every event goes back as the hook saw it: its key, its scan code, its
// extended flag (without it right Ctrl turns into left Ctrl and a cursor
// key into a keypad digit), up or down, and a character sent as such stays
// a character.
TEST(OperatorKeyHold, HeldKeysAreSentAgainAsTheOperatorTypedThem) {
    constexpr DWORD kUp = LLKHF_UP;
    constexpr DWORD kExt = LLKHF_EXTENDED;
    const AsTypedCase cases[] = {
        {"Shift and a letter",
         {Hooked(VK_LSHIFT, 0x2A, 0), Hooked('P', 0x19, 0), Hooked('P', 0x19, kUp),
          Hooked(VK_LSHIFT, 0x2A, kUp)},
         {{VK_LSHIFT, 0x2A, 0},
          {'P', 0x19, 0},
          {'P', 0x19, KEYEVENTF_KEYUP},
          {VK_LSHIFT, 0x2A, KEYEVENTF_KEYUP}}},
        {"right Ctrl and a cursor key",
         {Hooked(VK_RCONTROL, 0x1D, kExt), Hooked(VK_LEFT, 0x4B, kExt),
          Hooked(VK_LEFT, 0x4B, kExt | kUp), Hooked(VK_RCONTROL, 0x1D, kExt | kUp)},
         {{VK_RCONTROL, 0x1D, KEYEVENTF_EXTENDEDKEY},
          {VK_LEFT, 0x4B, KEYEVENTF_EXTENDEDKEY},
          {VK_LEFT, 0x4B, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP},
          {VK_RCONTROL, 0x1D, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP}}},
        {"a character another program sent as such",
         {Hooked(VK_PACKET, 0x010D, 0), Hooked(VK_PACKET, 0x010D, kUp)},
         {{0, 0x010D, KEYEVENTF_UNICODE}, {0, 0x010D, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP}}},
    };
    for (const AsTypedCase& c : cases) {
        HeldKeys held;
        for (const KBDLLHOOKSTRUCT& event : c.hooked) {
            held.events.push_back(HeldKeyEventOf(event, 1000));
        }
        const Replay replay = ReplayOf(held, 1500, false);
        EXPECT_EQ(SentOf(replay.inputs), c.sent) << c.name;
        EXPECT_EQ(replay.droppedPresses, 0) << c.name;
    }
}

constexpr auto kLimit = static_cast<DWORD>(kOperatorKeysHoldLimit.count());

HeldKeyEvent Down(DWORD virtualKey, DWORD heldAt) { return {virtualKey, 0, false, false, heldAt}; }
HeldKeyEvent Up(DWORD virtualKey, DWORD heldAt) { return {virtualKey, 0, false, true, heldAt}; }

// "A" for a press of A, "a" for its release.
std::string Shown(const std::vector<INPUT>& inputs) {
    std::string shown;
    for (const INPUT& input : inputs) {
        const bool up = (input.ki.dwFlags & KEYEVENTF_KEYUP) != 0;
        shown += static_cast<char>(up ? input.ki.wVk - 'A' + 'a' : input.ki.wVk);
    }
    return shown;
}

struct DropCase {
    const char* name;
    HeldKeys held;
    DWORD now;
    bool desktopChanged;
    std::string sent;
    int dropped;
};

// Keys held too long are dropped with their releases, never a release whose
// press reached the application (it would stay down there); nothing at all
// goes to a desktop that changed meanwhile.
TEST(OperatorKeyHold, KeysHeldTooLongOrPastADesktopChangeAreDropped) {
    const DWORD t = 100000;
    const DropCase cases[] = {
        {"all within the limit",
         {{Down('A', t), Up('A', t), Down('B', t + 10)}},
         t + kLimit,
         false,
         "AaB",
         0},
        {"a press past the limit, and its release with it",
         {{Down('A', t), Up('A', t + 5), Down('B', t + 20), Up('B', t + 30)}},
         t + kLimit + 10,
         false,
         "Bb",
         1},
        {"the release of a key pressed before the hold, however old",
         {{Up('A', t), Down('B', t + 20)}},
         t + kLimit + 10,
         false,
         "aB",
         0},
        {"a repeat within the limit of a key pressed past it",
         {{Down('A', t), Down('A', t + 20), Up('A', t + 30)}},
         t + kLimit + 10,
         false,
         "Aa",
         1},
        {"the tick count wrapped during the hold",
         {{Down('A', 0xFFFFFF00), Up('A', 0xFFFFFF10)}},
         0x100,
         false,
         "Aa",
         0},
        {"the desktop changed", {{Down('A', t), Up('A', t)}}, t + 10, true, "", 1},
        {"presses the record had no room for", {{Up('A', t)}, 3}, t + 10, false, "a", 3},
    };
    for (const DropCase& c : cases) {
        const Replay replay = ReplayOf(c.held, c.now, c.desktopChanged);
        EXPECT_EQ(Shown(replay.inputs), c.sent) << c.name;
        EXPECT_EQ(replay.droppedPresses, c.dropped) << c.name;
    }
}

// Once presses are no longer kept, every key that can be down still gets
// its release kept.
TEST(OperatorKeyHold, TheRecordKeepsAReleaseForEveryKeyItKeptDown) {
    std::size_t kept = 0;
    while (Keeps(kept, false)) ++kept;
    EXPECT_GT(kept, 500u) << "room for a few seconds of a key held down and repeating";
    for (int key = 0; key < 256; ++key, ++kept) EXPECT_TRUE(Keeps(kept, true)) << key;
}

// SendInput may take fewer records than given (a desktop that refuses
// input): the presses it did not take count as dropped, not delivered.
TEST(OperatorKeyHold, PressesSendInputRefusedCountAsDropped) {
    const DWORD t = 5000;
    HeldKeys held{{Down('A', t), Up('A', t), Down('B', t), Up('B', t)}, 1};
    const Replay replay = ReplayOf(held, t, false);
    EXPECT_EQ(OutcomeOf(replay, 4), (OperatorKeysOutcome{2, 1, 0}));
    EXPECT_EQ(OutcomeOf(replay, 2), (OperatorKeysOutcome{1, 2, 0}));
    EXPECT_EQ(OutcomeOf(replay, 0), (OperatorKeysOutcome{0, 3, 0}));
}

struct AgainCase {
    const char* name;
    std::uint8_t atHold;
    std::uint8_t now;
    std::vector<Sent> sent;
};

// The capture's last Shift-up lets go of a Shift the operator holds through
// it; pressed again, the keys typed meanwhile come out shifted, and the
// key stays down until the operator lets go.
TEST(OperatorKeyHold, AModifierTheCaptureLetGoOfIsPressedAgain) {
    const AgainCase cases[] = {
        {"nothing held", 0, 0, {}},
        {"left Shift let go by the capture", modifier::LeftShift, 0, {{VK_LSHIFT, 0x2A, 0}}},
        {"right Shift still down", modifier::RightShift, modifier::RightShift, {}},
        {"right Alt let go", modifier::RightAlt, 0, {{VK_RMENU, 0x38, KEYEVENTF_EXTENDEDKEY}}},
        {"down now but not at the hold", 0, modifier::LeftShift, {}},
    };
    for (const AgainCase& c : cases) {
        EXPECT_EQ(SentOf(PressedAgain(c.atHold, c.now)), c.sent) << c.name;
    }
}

TargetReading OnDesktop(const wchar_t* name, bool denied = false,
                        std::optional<bool> notifiedLock = std::nullopt) {
    TargetReading reading;
    reading.inputDesktop = {name, denied};
    reading.notifiedLock = notifiedLock;
    return reading;
}

struct DesktopCase {
    const char* name;
    TargetReading atHold;
    TargetReading atRelease;
    bool changed;
};

TEST(OperatorKeyHold, TheDesktopChangedWhenALockOrASecureDesktopCame) {
    const DesktopCase cases[] = {
        {"the user's desktop throughout", OnDesktop(L"Default"), OnDesktop(L"Default"), false},
        {"the same name in other capitals", OnDesktop(L"Default"), OnDesktop(L"DEFAULT"), false},
        {"the lock screen's desktop", OnDesktop(L"Default"), OnDesktop(L"Winlogon"), true},
        {"a secure desktop refused at the release", OnDesktop(L"Default"), OnDesktop(L"", true),
         true},
        {"a lock notified", OnDesktop(L"Default"), OnDesktop(L"Default", false, true), true},
        {"nothing readable", OnDesktop(L""), OnDesktop(L""), false},
    };
    for (const DesktopCase& c : cases) {
        EXPECT_EQ(DesktopChanged(c.atHold, c.atRelease), c.changed) << c.name;
    }
}

}  // namespace
}  // namespace vm4417::win32
