#include "SystemCommandLine.h"

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

}  // namespace

CommandLineSystem SystemCommandLine() {
    return {UsageText("vm4417", text::kPortNamesLinux), PortList};
}

}  // namespace vm4417::ui
