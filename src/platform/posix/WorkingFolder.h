#pragma once
// The program's working folder: it keeps its settings and daily logs in its
// current directory, so --folder makes a folder (with its parents) and
// enters it; a start at login enters its folder only when it is there.

#include <optional>
#include <string>

#include "StartSequence.h"
#include "Status.h"

namespace vm4417 {

// Makes `folder` when it is missing (and its parents, as mkdir -p does) and
// makes it the current directory.
Status EnterFolder(const std::string& folder);

// Makes `folder` the current directory only when it is there: Fault::Missing
// when it (or a folder on its path) is not.
Status EnterExistingFolder(const std::string& folder);

// The current directory as the working folder: its path and key.
WorkingFolder CurrentWorkingFolder();

// The current directory's canonical path (links resolved), or nothing.
std::optional<std::string> CurrentFolder();

// The running program's own absolute path (/proc/self/exe), or nothing.
std::optional<std::string> OwnProgramPath();

// The administrator's preset for every user, /etc/vm4417/VM4417.INI
// (configuration management drops it there; the package ships none).
std::string SettingsPresetPath();

}  // namespace vm4417
