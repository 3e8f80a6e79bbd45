#include "SendInputKeySink.h"

#include <windows.h>

namespace vm4417 {

namespace {

INPUT KeyInput(std::uint8_t virtualKey, std::uint8_t scanCode, bool keyUp) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = scanCode;
    input.ki.dwFlags = keyUp ? KEYEVENTF_KEYUP : 0;
    return input;
}

}  // namespace

bool SendInputKeySink::Begin() { return true; }

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

}  // namespace vm4417
