#include "ForegroundTarget.h"

#include <windows.h>

namespace vm4417::win32 {

namespace {

InputDesktop ReadInputDesktop() {
    const HDESK desktop = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
    if (desktop == nullptr) return {{}, GetLastError() == ERROR_ACCESS_DENIED};
    wchar_t name[64];
    DWORD needed = 0;
    const bool read = GetUserObjectInformationW(desktop, UOI_NAME, name, sizeof name, &needed);
    CloseDesktop(desktop);
    if (!read) return {};
    return {name, false};
}

DWORD ProcessOf(HWND window) {
    DWORD process = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &process) == 0) return 0;
    return process;
}

bool IsUsersDesktop(const std::wstring& name) {
    return CompareStringOrdinal(name.c_str(), -1, L"Default", -1, TRUE) == CSTR_EQUAL;
}

std::optional<bool> DesktopLocked(const InputDesktop& desktop) {
    if (desktop.denied) return true;
    if (desktop.name.empty()) return std::nullopt;
    return !IsUsersDesktop(desktop.name);
}

}  // namespace

TargetReading ReadTarget(TargetParts parts, const LockNotifications* notifications) {
    TargetReading reading;
    reading.foreground = GetForegroundWindow();
    reading.ownProcess = GetCurrentProcessId();
    if (parts == TargetParts::Whole) {
        reading.foregroundProcess = ProcessOf(reading.foreground);
        reading.inputDesktop = ReadInputDesktop();
    }
    if (notifications != nullptr) reading.notifiedLock = notifications->Locked();
    return reading;
}

TargetQuery TargetReader(const LockNotifications* notifications) {
    return [notifications](TargetParts parts) { return ReadTarget(parts, notifications); };
}

std::optional<TargetReading> Completed(const TargetReading& quick, const TargetReading& whole) {
    if (quick.foreground != whole.foreground) return std::nullopt;
    TargetReading reading = quick;
    reading.foregroundProcess = whole.foregroundProcess;
    reading.inputDesktop = whole.inputDesktop;
    return reading;
}

TargetReading TargetLooks::Look() {
    if (whole_) {
        if (std::optional<TargetReading> reading = Completed(query_(TargetParts::Quick), *whole_)) {
            return *reading;
        }
    }
    whole_ = query_(TargetParts::Whole);
    return *whole_;
}

KeyTarget KeyTargetOf(const TargetReading& reading) {
    KeyTarget target;
    if (reading.foreground == nullptr) {
        target.focus = 0;
    } else {
        target.focus = reinterpret_cast<std::uintptr_t>(reading.foreground);
        if (reading.foregroundProcess != 0) {
            target.ownWindow = reading.foregroundProcess == reading.ownProcess;
        }
    }
    const std::optional<bool> desktopLocked = DesktopLocked(reading.inputDesktop);
    if (reading.notifiedLock == true || desktopLocked == true) {
        target.locked = true;
    } else {
        target.locked = desktopLocked ? desktopLocked : reading.notifiedLock;
    }
    return target;
}

}  // namespace vm4417::win32
