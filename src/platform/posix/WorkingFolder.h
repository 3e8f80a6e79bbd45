#pragma once
// The program's working folder: it keeps its settings and daily logs in its
// current directory, so --folder makes a folder (with its parents) and
// enters it.

#include <optional>
#include <string>

#include "Status.h"

namespace vm4417 {

// Makes `folder` when it is missing (and its parents, as mkdir -p does) and
// makes it the current directory.
Status EnterFolder(const std::string& folder);

// The current directory's canonical path (links resolved), or nothing.
std::optional<std::string> CurrentFolder();

// The running program's own absolute path (/proc/self/exe), or nothing.
std::optional<std::string> OwnProgramPath();

// The administrator's preset for every user, /etc/vm4417/VM4417.INI
// (configuration management drops it there; the package ships none).
std::string SettingsPresetPath();

}  // namespace vm4417
