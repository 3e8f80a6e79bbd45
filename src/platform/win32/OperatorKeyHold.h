#pragma once
// Holds back the keys the operator types while a capture is being typed, and
// sends them afterwards. A low-level keyboard hook (WH_KEYBOARD_LL) swallows
// every key event that is not one of this program's own (those carry
// kOwnKeyTag in dwExtraInfo) and records it; at the end of the capture the
// recorded events are sent again through SendInput, in the order typed. The
// hook lives on a thread of its own with a message loop: the window's thread
// sleeps through the capture's pauses, and Windows silently removes a hook
// that does not answer within LowLevelHooksTimeout. A hook in a process that
// is not elevated does not see keys going to an elevated window; the typing
// refuses such a window before any key (see ForegroundIntegrity.h).
//
// What an event means (the operator's or ours, kept or not) and what is sent
// at the end (replayed, pressed again, dropped) are plain functions of
// readings below; OperatorKeyHold only runs the hook and records.

#include <windows.h>

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "KeySink.h"

namespace vm4417::win32 {

// dwExtraInfo of every key event this program sends; the hook lets them pass.
inline constexpr ULONG_PTR kOwnKeyTag = 0x56344417;

// A key event of this program's own, tagged so that the hook lets it pass.
inline INPUT OwnKeyInput(WORD virtualKey, WORD scanCode, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = scanCode;
    input.ki.dwFlags = flags;
    input.ki.dwExtraInfo = kOwnKeyTag;
    return input;
}

// Every key event but this program's own is the operator's: a physical key,
// and also a key another program injects for the operator (an on-screen
// keyboard), which would mix into the capture just the same.
constexpr bool IsOperatorKey(ULONG_PTR extraInfo) { return extraInfo != kOwnKeyTag; }

// One key event of the operator, as the hook took it: what it takes to send
// it again exactly as the operator typed it.
struct HeldKeyEvent {
    DWORD virtualKey = 0;  // VK_PACKET: a character sent as such (KEYEVENTF_UNICODE)
    DWORD scanCode = 0;    // for VK_PACKET, the UTF-16 unit itself
    // The key's scan code had the E0 prefix: right Ctrl and Alt, the cursor
    // and editing keys, the keypad's Enter and slash; without it they come
    // out as the left modifiers or the keypad's digits.
    bool extended = false;
    bool keyUp = false;

    friend bool operator==(const HeldKeyEvent&, const HeldKeyEvent&) = default;
};

HeldKeyEvent HeldKeyEventOf(const KBDLLHOOKSTRUCT& event);

// The events one hold keeps at most. Key-downs stop being kept kUpRoom short
// of that, so that the key-up of every key kept down still finds room and no
// key is left down in the application; presses beyond count as dropped.
inline constexpr std::size_t kHeldEventLimit = 1024;
inline constexpr std::size_t kUpRoom = 256;
constexpr bool Keeps(std::size_t keptSoFar, bool keyUp) {
    return keptSoFar < (keyUp ? kHeldEventLimit : kHeldEventLimit - kUpRoom);
}

// What the hook took since the last look, in the order typed.
struct HeldKeys {
    std::vector<HeldKeyEvent> events;
    int unkeptPresses = 0;  // presses swallowed once the record was full

    bool Nothing() const { return events.empty() && unkeptPresses == 0; }
};

// The events sent again and how many of the operator's presses were dropped
// instead.
struct Replay {
    std::vector<INPUT> inputs;
    int droppedPresses = 0;
};

// What is sent again at the end of a hold, batch by batch (see
// OperatorKeyHold::TakeOrClose()), as SendInput records tagged as this
// program's own. Delivering, every event as the hook took it. Not
// delivering (the typing said no, or SendInput refused an earlier batch),
// no press, nor the release that goes with a press not sent; a release of a
// key pressed before the hold is sent, so that no key stays down.
class HeldKeysReplay {
public:
    explicit HeldKeysReplay(bool deliver) : deliver_(deliver) {}

    Replay Of(const HeldKeys& held);
    // SendInput did not take a whole batch: the keys after it would arrive
    // with a gap, so they are not delivered either.
    void StopDelivering() { deliver_ = false; }

private:
    bool deliver_;
    std::bitset<256> droppedDown_;  // keys whose press was not sent, until their release
};

// The modifiers that change what the keys after them type, as bits.
namespace modifier {
inline constexpr std::uint8_t LeftShift = 1 << 0;
inline constexpr std::uint8_t RightShift = 1 << 1;
inline constexpr std::uint8_t LeftCtrl = 1 << 2;
inline constexpr std::uint8_t RightCtrl = 1 << 3;
inline constexpr std::uint8_t LeftAlt = 1 << 4;
inline constexpr std::uint8_t RightAlt = 1 << 5;
inline constexpr std::uint8_t LeftWindows = 1 << 6;
inline constexpr std::uint8_t RightWindows = 1 << 7;
}  // namespace modifier

// Those of them down now (GetAsyncKeyState).
std::uint8_t ModifiersDown();
// The modifiers the operator had down when the hold began and the capture
// has let go of since (its last Shift-up also lets go of the operator's
// Shift), as key-downs tagged as this program's own: sent before the held
// events, they put the keyboard back as the operator holds it. A modifier
// the operator let go of during the hold goes up again with the held events.
std::vector<INPUT> PressedAgain(std::uint8_t downAtHold, std::uint8_t downNow);

// Presses delivered and dropped when SendInput took `accepted` of the
// replay's records.
OperatorKeysOutcome OutcomeOf(const Replay& replay, UINT accepted);

// The hook on its thread, from Start() until destruction. The hook thread
// and the caller share only what is under mutex_: the record, the presses
// seen, and whether the hold is closed.
class OperatorKeyHold {
public:
    OperatorKeyHold() = default;
    // Removes the hook and ends its thread; what it still holds is dropped.
    ~OperatorKeyHold();
    OperatorKeyHold(const OperatorKeyHold&) = delete;
    OperatorKeyHold& operator=(const OperatorKeyHold&) = delete;

    // Starts the thread and returns once its hook is in place (true) or
    // Windows refused the hook (false: nothing is held, the thread has ended).
    bool Start();
    // The operator's presses the hook has taken so far.
    int Presses() const;
    // The events taken since the last call; when there are none, closes the
    // hold instead: from then on the hook lets every key through. Called
    // until it gives nothing, sending each batch in turn, the operator's keys
    // keep their order: every key taken is sent before the hold closes, and
    // a key the hook sees after that comes after those already sent.
    HeldKeys TakeOrClose();

private:
    static LRESULT CALLBACK OnKey(int code, WPARAM wParam, LPARAM lParam);
    // True when the event is the operator's and held back.
    bool Swallows(const KBDLLHOOKSTRUCT& event);
    void Run(std::promise<bool>& installed);

    std::thread thread_;
    DWORD threadId_ = 0;  // the hook thread, once Start() returned true

    mutable std::mutex mutex_;
    // Room for kHeldEventLimit events is made before the hook exists: the
    // hook never allocates.
    std::vector<HeldKeyEvent> events_;
    std::size_t taken_ = 0;  // events_ handed out by TakeOrClose()
    int presses_ = 0;
    int unkeptPresses_ = 0;  // since the last TakeOrClose()
    bool closed_ = false;
};

}  // namespace vm4417::win32
