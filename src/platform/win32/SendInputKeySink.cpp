#include "SendInputKeySink.h"

#include <windows.h>

#include <chrono>
#include <utility>

#include "Texts.h"

namespace vm4417 {

namespace {

INPUT KeyInput(WORD virtualKey, WORD scanCode, bool keyUp) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = scanCode;
    input.ki.dwFlags = keyUp ? KEYEVENTF_KEYUP : 0;
    return input;
}

bool IsDown(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

// Windows reports AltGr as right Alt together with a left Ctrl it adds
// itself, so while right Alt is down the left Ctrl and the generic Alt count
// as part of AltGr rather than as shortcut keys of their own. Shift is never
// reported: this sink types keys with the sequence's own Shift held, with
// exact characters asked for or not, so the operator's Shift changes nothing.
std::uint8_t HeldModifiers() {
    const bool altGr = IsDown(VK_RMENU);
    const bool leftCtrl = IsDown(VK_LCONTROL) || IsDown(VK_CONTROL);
    std::uint8_t heldModifiers = 0;
    if (IsDown(VK_RCONTROL) || (leftCtrl && !altGr)) heldModifiers |= held::Ctrl;
    if (IsDown(VK_LMENU) || (IsDown(VK_MENU) && !altGr)) heldModifiers |= held::Alt;
    if (IsDown(VK_LWIN) || IsDown(VK_RWIN)) heldModifiers |= held::Super;
    if (altGr) heldModifiers |= held::AltGr;
    return heldModifiers;
}

bool CapsLockOn() { return (GetKeyState(VK_CAPITAL) & 1) != 0; }

// Presses and releases Caps Lock; false when Windows took neither.
bool TapCapsLock() {
    const auto scanCode = static_cast<WORD>(MapVirtualKeyW(VK_CAPITAL, MAPVK_VK_TO_VSC));
    INPUT tap[] = {KeyInput(VK_CAPITAL, scanCode, false), KeyInput(VK_CAPITAL, scanCode, true)};
    const UINT taken = SendInput(2, tap, sizeof(INPUT));
    // Taken down but not up: the key must not stay held.
    if (taken == 1) SendInput(1, &tap[1], sizeof(INPUT));
    return taken > 0;
}

// The toggle follows the injected key once Windows has processed it; wait a
// little for that rather than take the first look for the answer.
bool CapsLockTurnsOff() {
    constexpr auto kBound = std::chrono::milliseconds{50};
    const auto until = std::chrono::steady_clock::now() + kBound;
    while (CapsLockOn()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        Sleep(1);
    }
    return true;
}

}  // namespace

SendInputKeySink::SendInputKeySink(win32::IntegrityQuery integrity)
    : integrity_(std::move(integrity)) {}

bool SendInputKeySink::Begin() {
    problem_.clear();
    if (win32::TargetAboveUs(integrity_())) {
        problem_ = text::kTargetElevated;
        return false;
    }
    return true;
}

bool SendInputKeySink::Send(const KeyEvent& event) {
    INPUT input = KeyInput(event.virtualKey, event.scanCode, event.keyUp);
    if (SendInput(1, &input, sizeof input) == 1) {
        if (event.keyUp) {
            down_.erase(event.virtualKey);
        } else {
            down_.insert(event.virtualKey);
        }
        return true;
    }
    // Refused: let go of every key still held, as far as Windows lets us.
    for (std::uint8_t key : down_) {
        INPUT up = KeyInput(key, event.scanCode, true);
        SendInput(1, &up, sizeof up);
    }
    down_.clear();
    return false;
}

OperatorKeyboard SendInputKeySink::Keyboard() { return {HeldModifiers(), CapsLockOn()}; }

bool SendInputKeySink::SuspendLocks() {
    if (!CapsLockOn()) return true;
    if (!TapCapsLock()) return false;
    if (CapsLockTurnsOff()) {
        capsLockSuspended_ = true;
        return true;
    }
    // Still on: the press had no effect, or it had one that this thread
    // cannot see. A second press leaves the operator's lock as it was in
    // either case.
    TapCapsLock();
    return false;
}

void SendInputKeySink::RestoreLocks() {
    if (std::exchange(capsLockSuspended_, false)) TapCapsLock();
}

}  // namespace vm4417
