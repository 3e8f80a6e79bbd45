#pragma once
// How the Windows program asks for an operator who is not looking at it:
// its taskbar button flashes until the window comes to the foreground
// (FlashWindowEx). Whether the operator has the program in front is read
// from the foreground window and the main window's state (ReadFront) and
// decided from that reading (InFront).

#include <windows.h>

#include <functional>
#include <string>
#include <utility>

#include "Attention.h"

namespace vm4417::win32 {

struct FrontReading {
    DWORD foregroundProcess = 0;  // the foreground window's process; 0: no such window
    DWORD ownProcess = 0;         // this process
    bool minimised = false;       // the main window is minimised
};

FrontReading ReadFront(HWND mainWindow);

// The foreground window is one of this process (the main window, a message
// box of it, the maker window) and the main window is not minimised: Windows
// leaves a window that was minimised with SW_SHOWMINIMIZED the foreground
// one, and then the operator sees nothing of it.
bool InFront(const FrontReading& reading);

class TaskbarAlert final : public Attention {
public:
    // `mainWindow` gives the main window, once it exists.
    explicit TaskbarAlert(std::function<HWND()> mainWindow) : mainWindow_(std::move(mainWindow)) {}

    bool WindowInFront() override;
    // Flashes the taskbar button until the window comes to the foreground;
    // the notice is not shown (see the operator's guide, "Windows: no
    // tray notification").
    void Ask(const std::string& notice) override;

private:
    std::function<HWND()> mainWindow_;
};

}  // namespace vm4417::win32
