#pragma once
// The operator's own keys while a capture is typed through XTest. Every
// keyboard of the X server but XTest's (the program's own) is grabbed with
// XIGrabDevice for the capture, asynchronously: its keys come to this
// program instead of the focused window, in order, with their keycodes,
// while the program's XTest keys still reach the window. After the
// capture's Enter the keys are sent again through XTest in the order typed,
// so the window gets the capture whole, then the operator's keys. A grab
// dies with its client, so a program that is killed meanwhile leaves every
// keyboard working. Where a keyboard cannot be grabbed (another client holds
// it), its keys are only seen: the capture then waits for a pause in them
// and tells those that went through.
//
// Not XGrabKeyboard, which would take the program's own XTest keys too, and
// no floating of the devices, which would outlive a crash.

#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "KeySink.h"

namespace vm4417::x11 {

// A key event of the operator's, as the grab delivered it.
struct HeldKey {
    unsigned int keycode = 0;
    bool press = false;
    bool repeat = false;  // a press the server's autorepeat made

    friend bool operator==(const HeldKey&, const HeldKey&) = default;
};

// What is sent again at the end of a hold: every key as it was typed, the
// autorepeat's presses left out (a replayed press repeats by itself);
// without delivery only the releases of keys the application has `down`
// (those down when the hold began, or pressed by a delivery that stopped),
// so that no key stays down.
std::vector<HeldKey> KeysToReplay(const std::vector<HeldKey>& held, bool deliver,
                                  const std::set<unsigned int>& down);

// Whether a keyboard of the X server is the operator's: a slave keyboard
// that is not XTest's.
bool IsOperatorKeyboard(bool slaveKeyboard, const std::string& name, bool xtestDevice);

class OperatorKeyGrab {
public:
    // An empty name means the display named by $DISPLAY.
    explicit OperatorKeyGrab(std::string displayName);
    ~OperatorKeyGrab();
    OperatorKeyGrab(const OperatorKeyGrab&) = delete;
    OperatorKeyGrab& operator=(const OperatorKeyGrab&) = delete;

    // Whether the operator holds down a key that is not a modifier, on any
    // keyboard but XTest's: keys XTest holds are programs' own (one that
    // ended in the middle of its keys leaves them down). Nothing without
    // XInput.
    std::optional<bool> KeyDown();
    // Grabs the operator's keyboards; Held when every one is, Seen when some
    // could only be watched, Unseen without XInput 2 or a server.
    OperatorKeys Hold();
    // The operator's key presses since Hold().
    int Seen();
    // Sends the held keys again when `deliver`, each one checked (see
    // KeySink::ReleaseOperatorKeys()), and lets go of the keyboards.
    OperatorKeysOutcome Release(bool deliver);

private:
    struct State;

    bool Connect();
    std::vector<int> OperatorKeyboards();
    void TakeEvents();
    // Sends the keys through XTest until one is not taken; how many were.
    std::size_t Replay(const std::vector<HeldKey>& keys);
    // Sends again what the grabs delivered since the last call (all of it,
    // or without `deliver` the releases that keep no key down), adding the
    // presses the server took to `delivered`; false when it did not take
    // every key.
    bool SendAgain(bool deliver, int& delivered);
    void LetGo();

    std::string displayName_;
    std::unique_ptr<State> state_;
};

}  // namespace vm4417::x11
