#include "Program.h"

#include <iostream>

#include "PortAdvice.h"
#include "posix/WorkingFolder.h"

namespace vm4417::ui {

Program::Program(const std::string& executablePath)
    : ports_(TermiosSerialPorts::LocationsFromEnvironment()),
      typing_(std::cerr),
      startAtLogin_(StartAtLoginFiles::FromEnvironment()),
      logic_(MainWindowServices{
          form_, ports_, files_, clock_, typing_.Keys(), sound_, EntropySeed(),
          ApplicationTitle(executablePath),
          [](const std::string& line) { std::cerr << "vm4417: " << line << std::endl; },
          &attention_, SettingsPresetPath(), &ports_}) {
    form_.Attach(logic_);
    // The face menu's "Spouštět po přihlášení".
    form_.SetStartAtLoginItem([this] { return ReadMenuItem(startAtLogin_); },
                              [this](bool on) {
                                  SwitchFromMenu(startAtLogin_, on, CurrentFolder().value_or("."),
                                                 form_);
                              });
    typing_.SetNoticeListener([this](const std::string& status) { form_.SetStatusText(status); });
    QObject::connect(&form_, &TForm1::StartupFinished, &form_, [this] {
        ReportPortsWithoutPermission(logic_, std::cerr);
        StartTyping();
        sleep_.Start([this] { logic_.PrepareForSleep(); }, [this] { logic_.ResumeFromSleep(); });
    });
    // Switching typing on is the operator's moment to be asked for
    // permission again, or to have a broken way set up anew.
    QObject::connect(&form_, &TForm1::CheckBoxClicked, &form_, [this](Control box) {
        if (box == Control::CheckBox1 && IsOn(logic_.Settings().CodeToKeys)) typing_.Prepare();
    });
}

void Program::StartTyping() {
    if (IsOn(logic_.Settings().CodeToKeys)) {
        typing_.Prepare();
    } else {
        typing_.Select();
    }
}

void Program::Show() {
    form_.show();
    // Without a window manager nobody activates a new window; asking for it
    // here makes the first activation, and with it start-up, happen anyway.
    form_.activateWindow();
}

void ReportPortsWithoutPermission(const MainWindow& logic, std::ostream& err) {
    if (logic.ReaderFound()) return;
    for (const PortFailure& failure : logic.ScanFailures()) {
        if (failure.status.fault != Fault::NoPermission) continue;
        err << "vm4417: COM" << static_cast<int>(failure.number) << ": "
            << PortStatusText(failure.status) << '\n';
    }
    err.flush();
}

}  // namespace vm4417::ui
