#pragma once
// The restore token of the RemoteDesktop portal, kept in a file of its own
// between runs: whoever reads the token may type into the operator's
// desktop without asking, so the file is the user's alone.

#include <optional>
#include <string>
#include <string_view>

#include "Status.h"

namespace vm4417 {

// The token in `path`, without surrounding white space; nothing when the
// file is missing, unreadable or empty.
std::optional<std::string> ReadRestoreToken(const std::string& path);

// Replaces the file as a whole (a new file renamed over the old one), mode
// 0600, creating missing folders (mode 0700) first.
Status WriteRestoreToken(const std::string& path, std::string_view token);

}  // namespace vm4417
