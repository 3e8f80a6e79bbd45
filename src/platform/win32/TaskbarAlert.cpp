#include "TaskbarAlert.h"

namespace vm4417::win32 {

FrontReading ReadFront(HWND mainWindow) {
    FrontReading reading;
    reading.ownProcess = GetCurrentProcessId();
    const HWND foreground = GetForegroundWindow();
    if (foreground != nullptr) GetWindowThreadProcessId(foreground, &reading.foregroundProcess);
    reading.minimised = mainWindow != nullptr && IsIconic(mainWindow);
    return reading;
}

bool InFront(const FrontReading& reading) {
    return reading.foregroundProcess != 0 && reading.foregroundProcess == reading.ownProcess &&
           !reading.minimised;
}

bool TaskbarAlert::WindowInFront() { return InFront(ReadFront(mainWindow_())); }

void TaskbarAlert::Ask(const std::string&) {
    const HWND window = mainWindow_();
    if (window == nullptr) return;
    // No count: the button asks until the operator brings the window
    // forward (Windows flashes it as often as the desktop's setting says,
    // then keeps it lit).
    FLASHWINFO flash{sizeof flash, window, FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
}

}  // namespace vm4417::win32
