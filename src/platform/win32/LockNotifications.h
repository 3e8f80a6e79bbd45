#pragma once
// What the session's lock notifications (WM_WTSSESSION_CHANGE) last said:
// the main window notes each one, the looks at where the keys go read it.
// Both run on the window's thread. Unknown until the first notification.

#include <optional>

namespace vm4417::win32 {

class LockNotifications {
public:
    void Notify(bool locked) { locked_ = locked; }
    std::optional<bool> Locked() const { return locked_; }

private:
    std::optional<bool> locked_;
};

}  // namespace vm4417::win32
