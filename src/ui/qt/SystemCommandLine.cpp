#include "SystemCommandLine.h"

#include <QCoreApplication>

#include <iostream>
#include <sstream>

#include "DesktopTyping.h"
#include "PortAdvice.h"
#include "Texts.h"
#include "posix/PortDiagnostics.h"
#include "posix/TermiosSerial.h"

namespace vm4417::ui {

namespace {

std::string PortList() {
    const TermiosSerialPorts ports(TermiosSerialPorts::LocationsFromEnvironment());
    const auto& dir = ports.Locations().portDirectory;
    return PortListText(DiagnosePorts(ports),
                        dir ? *dir + "/COM<n>" : "/dev/ttyUSB<n>, /dev/ttyACM<n>, /dev/ttyS<n>");
}

// The portal is asked over D-Bus, which needs an application object (a
// plain one: no display is needed).
std::string TypingReport() {
    int argc = 1;
    char name[] = "vm4417";
    char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    DesktopTyping typing(std::cerr);
    std::ostringstream report;
    typing.WriteReport(report);
    return report.str();
}

}  // namespace

CommandLineSystem SystemCommandLine() {
    const std::string options =
        std::string(text::kUsageFolderOptions) + std::string(text::kUsageTypingOption);
    return {UsageText("vm4417", options, text::kPortNamesLinux), PortList, TypingReport};
}

}  // namespace vm4417::ui
