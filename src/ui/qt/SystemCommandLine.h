#pragma once
// The Linux part of the command line: the help text's port paragraph and the
// port list through termios and the typing report, under the shared options of CommandLine.h.

#include <string>

#include "CommandLine.h"

namespace vm4417::ui {

CommandLineSystem SystemCommandLine();

// --autostart [on|off] for the working folder `folder`: the resulting state
// in one line on standard output (0), or what went wrong on standard error (1).
int RunAutostartOption(AutostartSwitch wanted, const std::string& folder);

}  // namespace vm4417::ui
