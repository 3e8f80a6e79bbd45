#pragma once
// The format of a Run value, as Windows reads it: a command line that
// Windows splits as CommandLineToArgvW does, and Task Manager's approval
// bytes beside it (Explorer\StartupApproved\Run). Plain functions, no
// registry.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vm4417::win32 {

inline constexpr std::string_view kRunValueName = "VM4417";

// A command line of `words`, each quoted so that CommandLineToArgvW gives
// it back unchanged. The first, the program, holds no quote.
std::string CommandLineOf(const std::vector<std::string>& words);
// A command line split by Windows' own CommandLineToArgvW (the process's
// own command line too).
std::vector<std::string> CommandWords(std::wstring_view command);

// Task Manager's StartupApproved\Run value for an entry: none, or a first
// byte with its lowest bit clear, lets it run.
bool ApprovedToRun(std::span<const std::uint8_t> approval);
// What Task Manager writes when the operator enables an entry.
std::vector<std::uint8_t> EnabledApproval();

}  // namespace vm4417::win32
