#include "CommandLine.h"

#include <QCoreApplication>

#include <iostream>
#include <string_view>

#include "DesktopTyping.h"
#include "PortAdvice.h"
#include "Texts.h"
#include "Version.h"
#include "posix/PortDiagnostics.h"
#include "posix/TermiosSerial.h"

namespace vm4417::ui {

namespace {

constexpr int kExitUsage = 2;

void ListPorts(std::ostream& out) {
    const TermiosSerialPorts ports(TermiosSerialPorts::LocationsFromEnvironment());
    const auto reports = DiagnosePorts(ports);
    if (reports.empty()) {
        const auto& dir = ports.Locations().portDirectory;
        out << text::kNoPortsFound << " ("
            << (dir ? *dir + "/COM<n>"
                    : "/dev/ttyUSB<n>, "
                      "/dev/ttyACM<n>, /dev/ttyS<n>")
            << ")\n";
        return;
    }
    out << text::kPortListHeader << '\n';
    for (const PortReport& report : reports) {
        out << PortListLine(report.number, report.path, report.status) << '\n';
    }
}

// Reports on typing without a window. The portal is asked over D-Bus, which
// needs an application object (a plain one: no display is needed).
void CheckTyping(std::ostream& out) {
    int argc = 1;
    char name[] = "vm4417";
    char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    DesktopTyping typing(std::cerr);
    typing.WriteReport(out);
}

}  // namespace

CommandLineAction ParseCommandLine(int argc, const char* const argv[]) {
    if (argc < 2) return CommandLineAction::Window;
    const std::string_view option = argv[1];
    CommandLineAction action = CommandLineAction::Window;
    if (option == "--help" || option == "-h") action = CommandLineAction::Help;
    if (option == "--version") action = CommandLineAction::Version;
    if (option == "--list-ports") action = CommandLineAction::ListPorts;
    if (option == "--check-typing") action = CommandLineAction::CheckTyping;
    if (action != CommandLineAction::Window && argc > 2) return CommandLineAction::Misuse;
    return action;
}

int RunCommandLineAction(CommandLineAction action, std::ostream& out, std::ostream& err) {
    switch (action) {
        case CommandLineAction::Help: out << text::kUsage; return 0;
        case CommandLineAction::Version: out << "vm4417 " << kProgramVersion << '\n'; return 0;
        case CommandLineAction::ListPorts: ListPorts(out); return 0;
        case CommandLineAction::CheckTyping: CheckTyping(out); return 0;
        case CommandLineAction::Misuse: err << text::kUsage; return kExitUsage;
        case CommandLineAction::Window: break;
    }
    return kExitUsage;
}

}  // namespace vm4417::ui
