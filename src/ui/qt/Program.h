#pragma once
// The whole program as the entry point builds it: the Linux backends, the
// main window and its logic, wired together. Needs a QApplication.

#include <cstdint>
#include <ostream>
#include <string>

#include "DesktopAttention.h"
#include "DesktopSound.h"
#include "DesktopTyping.h"
#include "MainWindow.h"
#include "SleepWatch.h"
#include "TForm1.h"
#include "posix/PosixFileStore.h"
#include "posix/StartAtLoginFiles.h"
#include "posix/SystemClock.h"
#include "posix/TermiosSerial.h"

namespace vm4417::ui {

class Program {
public:
    // `executablePath` gives the title of the conversion error box.
    explicit Program(const std::string& executablePath);

    // Shows the main window; start-up follows at its first activation.
    void Show();

    TForm1& Form() { return form_; }
    MainWindow& Logic() { return logic_; }

private:
    // After start-up: typing set up when it is on, or only chosen (to tell
    // the operator what it would reach) when it is off.
    void StartTyping();

    TermiosSerialPorts ports_;
    PosixFileStore files_;
    SystemClock clock_;
    DesktopTyping typing_;
    DesktopSound sound_;
    StartAtLoginFiles startAtLogin_;
    TForm1 form_;
    DesktopAttention attention_{form_};
    MainWindow logic_;
    SleepWatch sleep_;
};

// After a start-up that found no reader, one line for each port the scan met
// but had no permission to open. The status text stays as the window logic
// set it; this is for the operator who started the program from a terminal.
void ReportPortsWithoutPermission(const MainWindow& logic, std::ostream& err);

}  // namespace vm4417::ui
