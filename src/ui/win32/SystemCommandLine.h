#pragma once
// The Windows part of the command line: the process's own arguments, the
// help text's port paragraph and the COM port list, under the shared options
// of CommandLine.h, written to the console the program was started from.

#include "CommandLine.h"

namespace vm4417::ui {

// The action the process's command line asks for.
CommandLineAction ProcessCommandLineAction();

// Runs an action other than Window on the standard handles (see Console.h);
// returns the exit status.
int RunOnConsole(CommandLineAction action);

}  // namespace vm4417::ui
