// What the hold of the operator's keys sends after a capture, decided from
// plain readings: the events as the hook took them, whether they are to be
// delivered, and the modifiers at the hold and at its release.

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdint>
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
            held.events.push_back(HeldKeyEventOf(event));
        }
        const Replay replay = HeldKeysReplay(true).Of(held);
        EXPECT_EQ(SentOf(replay.inputs), c.sent) << c.name;
        EXPECT_EQ(replay.droppedPresses, 0) << c.name;
    }
}

HeldKeyEvent Down(DWORD virtualKey) { return {virtualKey, 0, false, false}; }
HeldKeyEvent Up(DWORD virtualKey) { return {virtualKey, 0, false, true}; }

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
    bool deliver;
    std::vector<HeldKeys> batches;
    // SendInput took only part of the first batch: the later ones are not
    // delivered.
    bool firstRefused;
    std::string sent;  // over all batches
    int dropped;
};

// Keys not to be delivered are dropped with their releases, never a release
// whose press reached the application or came before the hold (the key
// would stay down there).
TEST(OperatorKeyHold, KeysNotToBeDeliveredAreDroppedButNoneStaysDown) {
    const DropCase cases[] = {
        {"delivered", true, {{{Down('A'), Up('A'), Down('B')}}}, false, "AaB", 0},
        {"not delivered", false, {{{Down('A'), Up('A'), Down('B'), Up('B')}}}, false, "", 2},
        {"not delivered: the release of a key pressed before the hold",
         false,
         {{{Up('A'), Down('B')}}},
         false,
         "a",
         1},
        {"not delivered: a press in one batch, its release in the next",
         false,
         {{{Down('A')}}, {{Up('A')}}},
         false,
         "",
         1},
        {"a batch refused: the release of a key it pressed still goes",
         true,
         {{{Down('A')}}, {{Up('A'), Down('B'), Up('B')}}},
         true,
         "Aa",
         1},
        {"presses the record had no room for", true, {{{Up('A')}, 3}}, false, "a", 3},
    };
    for (const DropCase& c : cases) {
        HeldKeysReplay replay(c.deliver);
        std::string sent;
        int dropped = 0;
        for (std::size_t i = 0; i < c.batches.size(); ++i) {
            const Replay batch = replay.Of(c.batches[i]);
            sent += Shown(batch.inputs);
            dropped += batch.droppedPresses;
            if (i == 0 && c.firstRefused) replay.StopDelivering();
        }
        EXPECT_EQ(sent, c.sent) << c.name;
        EXPECT_EQ(dropped, c.dropped) << c.name;
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
    HeldKeys held{{Down('A'), Up('A'), Down('B'), Up('B')}, 1};
    const Replay replay = HeldKeysReplay(true).Of(held);
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

}  // namespace
}  // namespace vm4417::win32
