#pragma once
// The Windows part of the command line: the process's own arguments, the
// help text's port paragraph and the COM port list, under the shared options
// of CommandLine.h, written to the console the program was started from.

#include <string>

#include "CommandLine.h"

namespace vm4417::ui {

// What the process's command line asks for.
CommandLineRequest ProcessCommandLineRequest();

// Runs an action that answers by itself on the standard handles (see
// Console.h); returns the exit status.
int RunOnConsole(CommandLineAction action);

// Writes an outcome to the standard handles; returns its exit status.
int WriteOutcome(const CommandLineOutcome& outcome);

// The installer's --install-preset FILE: the administrator's preset checked
// as at a first start and copied to %ProgramData%\VM4417\VM4417.INI. 0 when
// done.
int RunPresetOption(const CommandLineRequest& request);

}  // namespace vm4417::ui
