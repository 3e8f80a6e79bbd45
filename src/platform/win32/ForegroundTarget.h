#pragma once
// Where synthetic keys would go now, as Windows shows it: the foreground
// window, whether it belongs to this process (the main window, its message
// boxes, the maker window), and whether the session is locked or a secure
// desktop (the lock screen, Ctrl+Alt+Del, the administrator prompt) has the
// input. Read before every key, so it keeps to a few quick calls.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "KeySink.h"

namespace vm4417::win32 {

// The session's lock as its notifications (WM_WTSSESSION_CHANGE) tell it:
// the main window writes it, the key sink reads it. Unknown until the first
// notification.
class SessionLock {
public:
    void Notify(bool locked) { state_.store(locked ? kLocked : kUnlocked); }
    std::optional<bool> Locked() const;

private:
    static constexpr int kUnknown = -1;
    static constexpr int kUnlocked = 0;
    static constexpr int kLocked = 1;
    std::atomic<int> state_{kUnknown};
};

// The desktop that receives the input now.
struct InputDesktop {
    std::wstring name;  // "Default" for the user's own; empty when not read
    // Windows refused to open it, as it refuses a normal process while its
    // secure desktop has the input.
    bool denied = false;
};

struct TargetReading {
    HWND foreground = nullptr;    // none at the moment: nullptr
    DWORD foregroundProcess = 0;  // the process of that window; 0 when unknown
    DWORD ownProcess = 0;         // this process
    InputDesktop inputDesktop;
    std::optional<bool> notifiedLock;  // what the session's notifications said last
};

// Reads the system: GetForegroundWindow, GetWindowThreadProcessId,
// OpenInputDesktop and its name, and the notifications' lock when given.
TargetReading ReadTarget(const SessionLock* notifications = nullptr);

// The reading a sink takes before each key; tests hand in fakes.
using TargetQuery = std::function<TargetReading()>;
TargetQuery TargetReader(const SessionLock* notifications = nullptr);

// What a reading means for the keys. The session counts as locked when the
// input desktop is not the user's "Default" one, when Windows refused to
// open it, or when the notifications said locked and not yet unlocked; a
// gap in the reading leaves that part unknown.
KeyTarget KeyTargetOf(const TargetReading& reading);

}  // namespace vm4417::win32
