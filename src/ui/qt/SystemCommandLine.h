#pragma once
// The Linux part of the command line: the help text's port paragraph and the
// port list through termios and the typing report, under the shared options of CommandLine.h.

#include <string>

#include "CommandLine.h"

namespace vm4417::ui {

CommandLineSystem SystemCommandLine();

}  // namespace vm4417::ui
