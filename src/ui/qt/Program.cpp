#include "Program.h"

#include <iostream>
#include <random>

#include "PortAdvice.h"

namespace vm4417::ui {

std::uint64_t EntropySeed() {
    std::random_device entropy;
    return (std::uint64_t{entropy()} << 32) | entropy();
}

Program::Program(const std::string& executablePath)
    : ports_(TermiosSerialPorts::LocationsFromEnvironment()),
      logic_(MainWindowServices{form_, ports_, files_, clock_, keys_, sound_, EntropySeed(),
                                ApplicationTitle(executablePath)}) {
    form_.Attach(logic_);
    QObject::connect(&form_, &TForm1::StartupFinished, &form_,
                     [this] { ReportPortsWithoutPermission(logic_, std::cerr); });
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
