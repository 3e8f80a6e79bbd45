#pragma once
// The program's working folder on Windows: it keeps its settings and daily
// logs in its current directory, so --folder and --in-documents make a
// folder (with its parents) and enter it, while a start at login enters its
// folder only when it is there; and the machine's own places for the
// administrator's preset.

#include <optional>
#include <string>

#include "StartSequence.h"
#include "Status.h"

namespace vm4417::win32 {

// Makes `folder` when it is missing (and its parents) and makes it the
// current directory.
Status EnterFolder(const std::string& folder);

// Makes `folder` the current directory only when it is there: Fault::Missing
// when it, a folder on its path, or its network share is not (yet).
Status EnterExistingFolder(const std::string& folder);

// The current directory as the working folder: its path, and the key of
// its canonical path.
WorkingFolder CurrentWorkingFolder();

// The user's own Documents\VM4417 (FOLDERID_Documents), or nothing.
std::optional<std::string> DocumentsFolder();

// The current directory, or nothing.
std::optional<std::string> CurrentFolder();

// The current directory's final path (links and junctions resolved) in
// upper case, for naming the folder's lock: Windows' names ignore case.
std::optional<std::string> CanonicalCurrentFolder();

// %ProgramData%\VM4417 (FOLDERID_ProgramData), where the administrator's
// preset lives, or nothing.
std::optional<std::string> MachineSettingsFolder();

// %ProgramData%\VM4417\VM4417.INI, the administrator's preset for every
// user; empty when the system names no such folder.
std::string SettingsPresetPath();

}  // namespace vm4417::win32
