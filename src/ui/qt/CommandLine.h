#pragma once
// The command line: a few options that answer at once, without a window and
// without a display. Anything else is left to the toolkit and the window.

#include <ostream>

namespace vm4417::ui {

enum class CommandLineAction {
    Window,       // no option of ours: start the program's window
    Help,         // --help, -h
    Version,      // --version
    ListPorts,    // --list-ports
    CheckTyping,  // --check-typing
    Misuse,       // an option of ours with something after it
};

CommandLineAction ParseCommandLine(int argc, const char* const argv[]);

// Runs any action but Window, writing to `out` (`err` for misuse); returns
// the exit status.
int RunCommandLineAction(CommandLineAction action, std::ostream& out, std::ostream& err);

}  // namespace vm4417::ui
