#pragma once
// The whole Windows program as the entry point builds it: the Win32
// backends, the main window and its logic, wired together.

#include <windows.h>

#include <cstdint>
#include <string>

#include "MainWindow.h"
#include "TForm1.h"
#include "win32/ForegroundTarget.h"
#include "win32/MessageBeepSound.h"
#include "win32/SendInputKeySink.h"
#include "win32/StartAtLoginRegistry.h"
#include "win32/TaskbarAlert.h"
#include "win32/Win32Clock.h"
#include "win32/Win32FileStore.h"
#include "win32/Win32Serial.h"

namespace vm4417::ui {

class Program {
public:
    // `executablePath` gives the title of the conversion error box.
    explicit Program(const std::string& executablePath);

    // Creates the main window, marked as the one working in the folder of
    // `folderKey` (empty: unmarked); false when Windows refused.
    bool Create(HINSTANCE instance, const std::string& folderKey = {});
    // Shows the main window; start-up follows at its first activation.
    void Show(int showCommand) { form_.Show(showCommand); }
    // Runs the message loop until the main window is gone.
    int Run();

    TForm1& Form() { return form_; }
    MainWindow& Logic() { return logic_; }

private:
    Win32SerialPorts ports_;
    Win32FileStore files_;
    Win32Clock clock_;
    // The main window notes the session's lock notifications; the keys look at them.
    win32::LockNotifications lockNotifications_;
    SendInputKeySink keys_;
    MessageBeepSound sound_;
    win32::StartAtLoginRegistry startAtLogin_;
    TForm1 form_;
    win32::TaskbarAlert attention_{[this] { return form_.Handle(); }};
    MainWindow logic_;
};

// The full path of the running executable, UTF-8.
std::string ExecutablePath();

}  // namespace vm4417::ui
