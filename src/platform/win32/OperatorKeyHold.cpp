#include "OperatorKeyHold.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <utility>

namespace vm4417::win32 {

namespace {

INPUT InputOf(const HeldKeyEvent& event) {
    const DWORD up = event.keyUp ? KEYEVENTF_KEYUP : 0;
    const auto scanCode = static_cast<WORD>(event.scanCode);
    if (event.virtualKey == VK_PACKET) return OwnKeyInput(0, scanCode, KEYEVENTF_UNICODE | up);
    const DWORD extended = event.extended ? KEYEVENTF_EXTENDEDKEY : 0;
    return OwnKeyInput(static_cast<WORD>(event.virtualKey), scanCode, extended | up);
}

struct Modifier {
    std::uint8_t bit;
    WORD virtualKey;
    WORD scanCode;  // of the first scan code set, the same on every layout
    bool extended;
};

constexpr std::array<Modifier, 8> kModifiers{{
    {modifier::LeftShift, VK_LSHIFT, 0x2A, false},
    {modifier::RightShift, VK_RSHIFT, 0x36, false},
    {modifier::LeftCtrl, VK_LCONTROL, 0x1D, false},
    {modifier::RightCtrl, VK_RCONTROL, 0x1D, true},
    {modifier::LeftAlt, VK_LMENU, 0x38, false},
    {modifier::RightAlt, VK_RMENU, 0x38, true},
    {modifier::LeftWindows, VK_LWIN, 0x5B, true},
    {modifier::RightWindows, VK_RWIN, 0x5C, true},
}};

int PressesIn(const INPUT* first, const INPUT* last) {
    int presses = 0;
    for (const INPUT* input = first; input != last; ++input) {
        if ((input->ki.dwFlags & KEYEVENTF_KEYUP) == 0) ++presses;
    }
    return presses;
}

// The hold whose hook runs on this thread.
thread_local OperatorKeyHold* hookOwner = nullptr;

}  // namespace

HeldKeyEvent HeldKeyEventOf(const KBDLLHOOKSTRUCT& event) {
    return {event.vkCode, event.scanCode, (event.flags & LLKHF_EXTENDED) != 0,
            (event.flags & LLKHF_UP) != 0};
}

Replay HeldKeysReplay::Of(const HeldKeys& held) {
    Replay replay;
    replay.droppedPresses = held.unkeptPresses;
    for (const HeldKeyEvent& event : held.events) {
        const std::size_t key = event.virtualKey & 0xFF;
        if (event.keyUp) {
            if (!droppedDown_[key]) replay.inputs.push_back(InputOf(event));
            droppedDown_[key] = false;
        } else if (deliver_) {
            replay.inputs.push_back(InputOf(event));
        } else {
            ++replay.droppedPresses;
            droppedDown_[key] = true;
        }
    }
    return replay;
}

std::uint8_t ModifiersDown() {
    std::uint8_t down = 0;
    for (const Modifier& m : kModifiers) {
        if ((GetAsyncKeyState(m.virtualKey) & 0x8000) != 0) down |= m.bit;
    }
    return down;
}

std::vector<INPUT> PressedAgain(std::uint8_t downAtHold, std::uint8_t downNow) {
    std::vector<INPUT> presses;
    for (const Modifier& m : kModifiers) {
        if ((downAtHold & m.bit) == 0 || (downNow & m.bit) != 0) continue;
        presses.push_back(
            OwnKeyInput(m.virtualKey, m.scanCode, m.extended ? KEYEVENTF_EXTENDEDKEY : 0));
    }
    return presses;
}

OperatorKeysOutcome OutcomeOf(const Replay& replay, UINT accepted) {
    const INPUT* first = replay.inputs.data();
    const INPUT* sent = first + std::min<std::size_t>(accepted, replay.inputs.size());
    const INPUT* last = first + replay.inputs.size();
    return {PressesIn(first, sent), replay.droppedPresses + PressesIn(sent, last), 0};
}

OperatorKeyHold::~OperatorKeyHold() {
    if (!thread_.joinable()) return;
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}

bool OperatorKeyHold::Start() {
    events_.reserve(kHeldEventLimit);
    std::promise<bool> installed;
    std::future<bool> result = installed.get_future();
    thread_ = std::thread([this, &installed] { Run(installed); });
    if (result.get()) return true;
    thread_.join();
    return false;
}

void OperatorKeyHold::Run(std::promise<bool>& installed) {
    hookOwner = this;
    // Windows waits for the hook at every key, the operator's and the
    // capture's alike: it must get the processor at once.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    MSG message;
    // The thread's message queue, so that WM_QUIT can be posted to it.
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    threadId_ = GetCurrentThreadId();
    const HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, &OnKey, GetModuleHandleW(nullptr), 0);
    installed.set_value(hook != nullptr);
    if (hook == nullptr) return;
    // Windows calls the hook from within GetMessageW.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {}
    UnhookWindowsHookEx(hook);
}

LRESULT CALLBACK OperatorKeyHold::OnKey(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && hookOwner != nullptr &&
        hookOwner->Swallows(*reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam))) {
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool OperatorKeyHold::Swallows(const KBDLLHOOKSTRUCT& event) {
    if (!IsOperatorKey(event.dwExtraInfo)) return false;
    const HeldKeyEvent held = HeldKeyEventOf(event);
    const std::lock_guard lock(mutex_);
    if (closed_) return false;
    if (!held.keyUp) ++presses_;
    if (Keeps(events_.size(), held.keyUp)) {
        events_.push_back(held);
    } else if (!held.keyUp) {
        ++unkeptPresses_;
    }
    return true;
}

int OperatorKeyHold::Presses() const {
    const std::lock_guard lock(mutex_);
    return presses_;
}

HeldKeys OperatorKeyHold::TakeOrClose() {
    const std::lock_guard lock(mutex_);
    HeldKeys held;
    held.events.assign(events_.begin() + static_cast<std::ptrdiff_t>(taken_), events_.end());
    held.unkeptPresses = std::exchange(unkeptPresses_, 0);
    taken_ = events_.size();
    if (held.Nothing()) closed_ = true;
    return held;
}

}  // namespace vm4417::win32
