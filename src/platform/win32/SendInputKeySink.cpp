#include "SendInputKeySink.h"

#include <windows.h>

#include <chrono>
#include <utility>
#include <vector>

#include "Texts.h"

namespace vm4417 {

namespace {

INPUT KeyInput(WORD virtualKey, WORD scanCode, bool keyUp) {
    return win32::OwnKeyInput(virtualKey, scanCode, keyUp ? KEYEVENTF_KEYUP : 0);
}

bool IsDown(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

// Windows reports AltGr as right Alt together with a left Ctrl it adds
// itself, so while right Alt is down the left Ctrl and the generic Alt count
// as part of AltGr rather than as shortcut keys of their own. A held Shift
// is reported too; it matters only to typing by character, where each key
// brings the Shift its character needs.
std::uint8_t HeldModifiers() {
    const bool altGr = IsDown(VK_RMENU);
    const bool leftCtrl = IsDown(VK_LCONTROL) || IsDown(VK_CONTROL);
    std::uint8_t heldModifiers = 0;
    if (IsDown(VK_RCONTROL) || (leftCtrl && !altGr)) heldModifiers |= held::Ctrl;
    if (IsDown(VK_LMENU) || (IsDown(VK_MENU) && !altGr)) heldModifiers |= held::Alt;
    if (IsDown(VK_LWIN) || IsDown(VK_RWIN)) heldModifiers |= held::Super;
    if (altGr) heldModifiers |= held::AltGr;
    if (IsDown(VK_SHIFT)) heldModifiers |= held::Shift;
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

// The layout of the application that gets the keys: that of the foreground
// window's thread, which the operator may switch per window.
HKL TargetLayout() {
    const HWND foreground = GetForegroundWindow();
    const DWORD thread = foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    return GetKeyboardLayout(thread);
}

// How many of the records SendInput took, in order.
UINT SendRecords(std::vector<INPUT> inputs) {
    if (inputs.empty()) return 0;
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// The modifier keys of a VkKeyScanExW shift state, in pressing order.
std::vector<WORD> ChordModifiers(BYTE shiftState) {
    std::vector<WORD> modifiers;
    if ((shiftState & 1) != 0) modifiers.push_back(VK_SHIFT);
    if ((shiftState & 2) != 0) modifiers.push_back(VK_CONTROL);
    if ((shiftState & 4) != 0) modifiers.push_back(VK_MENU);
    return modifiers;
}

}  // namespace

SendInputKeySink::SendInputKeySink(win32::IntegrityQuery integrity, win32::TargetQuery target)
    : integrity_(std::move(integrity)), looks_(std::move(target)) {}

bool SendInputKeySink::Begin() {
    problem_.clear();
    looks_.Restart();
    if (exact_) layout_ = TargetLayout();
    if (win32::TargetAboveUs(integrity_())) {
        problem_ = text::kTargetElevated;
        return false;
    }
    return true;
}

bool SendInputKeySink::Send(const KeyEvent& event) {
    if (exact_) return SendCharacter(event);
    return SendKey(event.virtualKey, event.scanCode, event.keyUp);
}

bool SendInputKeySink::SendKey(WORD virtualKey, WORD scanCode, bool keyUp) {
    INPUT input = KeyInput(virtualKey, scanCode, keyUp);
    if (SendInput(1, &input, sizeof input) == 1) {
        if (keyUp) {
            down_.erase(static_cast<std::uint8_t>(virtualKey));
        } else {
            down_.insert(static_cast<std::uint8_t>(virtualKey));
        }
        return true;
    }
    // Refused: let go of every key still held, as far as Windows lets us.
    for (std::uint8_t key : down_) {
        INPUT up = KeyInput(key, scanCode, true);
        SendInput(1, &up, sizeof up);
    }
    down_.clear();
    return false;
}

// Digits and letters go to wherever the target's layout has them; Space,
// Enter and the keypad minus type the same on every layout and go as they
// are. The sequence's Shift goes nowhere: each character brings its own.
bool SendInputKeySink::SendCharacter(const KeyEvent& event) {
    if (event.virtualKey == vk::Shift) return true;
    if (!vk::IsDigit(event.virtualKey) && !vk::IsLetter(event.virtualKey)) {
        const auto scanCode =
            static_cast<WORD>(MapVirtualKeyExW(event.virtualKey, MAPVK_VK_TO_VSC, layout_));
        return SendKey(event.virtualKey, scanCode, event.keyUp);
    }
    const auto character = static_cast<wchar_t>(event.virtualKey);  // '0'..'9', 'A'..'Z'
    const SHORT found = VkKeyScanExW(character, layout_);
    const BYTE shiftState = HIBYTE(found);
    // No key, or one that needs more than Shift, Ctrl and Alt (Kana, ...).
    if (found == -1 || (shiftState & ~7) != 0) return SendUnicode(character, event.keyUp);
    const WORD key = LOBYTE(found);
    const auto scanCode = static_cast<WORD>(MapVirtualKeyExW(key, MAPVK_VK_TO_VSC, layout_));
    const std::vector<WORD> modifiers = ChordModifiers(shiftState);
    if (event.keyUp) {
        bool sent = SendKey(key, scanCode, true);
        for (auto m = modifiers.rbegin(); sent && m != modifiers.rend(); ++m) {
            sent = SendKey(*m, static_cast<WORD>(MapVirtualKeyW(*m, MAPVK_VK_TO_VSC)), true);
        }
        return sent;
    }
    for (const WORD m : modifiers) {
        if (!SendKey(m, static_cast<WORD>(MapVirtualKeyW(m, MAPVK_VK_TO_VSC)), false)) return false;
    }
    return SendKey(key, scanCode, false);
}

bool SendInputKeySink::SendUnicode(wchar_t character, bool keyUp) {
    INPUT input = win32::OwnKeyInput(0, static_cast<WORD>(character),
                                     KEYEVENTF_UNICODE | (keyUp ? KEYEVENTF_KEYUP : 0));
    return SendInput(1, &input, sizeof input) == 1;
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

OperatorKeys SendInputKeySink::HoldOperatorKeys() {
    modifiersAtHold_ = win32::ModifiersDown();
    hold_ = std::make_unique<win32::OperatorKeyHold>();
    if (hold_->Start()) return OperatorKeys::Held;
    hold_.reset();
    return OperatorKeys::Unseen;
}

OperatorKeysOutcome SendInputKeySink::ReleaseOperatorKeys(bool deliver) {
    if (!hold_) return {};
    if (deliver) {
        // While the hook still holds the operator's keys, so that a release
        // of the modifier typed meanwhile cannot come before this press.
        // Refused, the held keys would come without the operator's modifier.
        const std::vector<INPUT> again =
            win32::PressedAgain(modifiersAtHold_, win32::ModifiersDown());
        deliver = SendRecords(again) == again.size();
    }
    win32::HeldKeysReplay replay(deliver);
    OperatorKeysOutcome outcome;
    // Keys typed while a batch is being sent make the next one; the hold
    // closes once a look finds none (see OperatorKeyHold::TakeOrClose).
    for (win32::HeldKeys held = hold_->TakeOrClose(); !held.Nothing();
         held = hold_->TakeOrClose()) {
        const win32::Replay batch = replay.Of(held);
        const UINT accepted = SendRecords(batch.inputs);
        if (accepted < batch.inputs.size()) replay.StopDelivering();
        const OperatorKeysOutcome sent = win32::OutcomeOf(batch, accepted);
        outcome.delivered += sent.delivered;
        outcome.dropped += sent.dropped;
    }
    hold_.reset();
    return outcome;
}

}  // namespace vm4417
