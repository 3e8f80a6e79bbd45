#pragma once
// Where synthetic keys would go now, as Windows shows it: the foreground
// window, whether it belongs to this process (the main window, its message
// boxes, the maker window), and whether the session is locked or a secure
// desktop (the lock screen, Ctrl+Alt+Del, the administrator prompt) has the
// input. Looked at before every key of a capture, so a look reads as little
// as it can (see TargetLooks).

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "KeySink.h"
#include "win32/LockNotifications.h"

namespace vm4417::win32 {

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

// How much a reading takes in. Quick: the foreground window
// (GetForegroundWindow), this process and the notifications' lock, with
// foregroundProcess and inputDesktop left empty. Whole: also the process of
// the foreground window (GetWindowThreadProcessId) and the input desktop
// (OpenInputDesktop, its name, CloseDesktop): four more calls into the
// system instead of one.
enum class TargetParts { Quick, Whole };

// Reads the system; the notifications' lock when given.
TargetReading ReadTarget(TargetParts parts, const LockNotifications* notifications = nullptr);

// The readings a sink takes; tests hand in fakes.
using TargetQuery = std::function<TargetReading(TargetParts)>;
TargetQuery TargetReader(const LockNotifications* notifications = nullptr);

// A quick reading completed by an earlier whole one, or nothing when
// another window (or none) is in front than at the whole reading. A window
// keeps its process for its whole life. The input desktop is taken as it
// was because a lock or a secure desktop takes the foreground away
// (GetForegroundWindow then gives another window or none): the look that
// finds that reads the whole again, and the capture sees its focus moved
// besides. The notifications' lock is always the quick reading's, and a
// locked desktop that gets past all this still refuses SendInput.
std::optional<TargetReading> Completed(const TargetReading& quick, const TargetReading& whole);

// The looks of one capture at where its keys go: the first reads the whole
// target, each later one only the quick part, and the whole again when
// Completed() finds another window in front.
class TargetLooks {
public:
    explicit TargetLooks(TargetQuery query) : query_(std::move(query)) {}
    // A new capture: the next look reads the whole target.
    void Restart() { whole_.reset(); }
    TargetReading Look();

private:
    TargetQuery query_;
    std::optional<TargetReading> whole_;  // the last whole reading of this capture
};

// What a reading means for the keys. No foreground window is a focus of 0,
// in no window of this program. The session counts as locked when the input
// desktop is not the user's "Default" one, when Windows refused to open it,
// or when the notifications said locked and not yet unlocked; a gap in the
// reading leaves that part unknown.
KeyTarget KeyTargetOf(const TargetReading& reading);

}  // namespace vm4417::win32
