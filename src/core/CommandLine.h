#pragma once
// The command line: a few options that answer at once, without a window and
// without a display. The options, their texts and their exit statuses are
// the same on every system; each system adds its help text and its port
// list, and writes the outcome where its standard output is. Anything else
// is left to the toolkit and the window.
//
// Text, not streams: the Windows program has no other use for iostreams,
// whose static runtime would make its exe about two and a half times as
// large.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vm4417 {

inline constexpr std::string_view kFolderOption = "--folder";
inline constexpr std::string_view kDocumentsOption = "--in-documents";
inline constexpr std::string_view kAtLoginOption = "--at-login";

enum class CommandLineAction {
    Window,         // no option of ours: start the program's window
    Help,           // --help, -h
    Version,        // --version
    ListPorts,      // --list-ports
    CheckTyping,    // --check-typing (where the system has ways to choose from)
    Misuse,         // an option of ours with something after it
    StartAtLogin,   // --autostart [on|off]: say or switch the start at login
    InstallPreset,  // --install-preset FILE: the installer's copy of a preset
};

enum class StartAtLoginSwitch { Query, On, Off };

// The options a system has beyond the shared ones.
struct SystemOptions {
    bool documentsFolder = false;  // --in-documents
    bool presetInstall = false;    // --install-preset (for the installer)
};

// Everything the command line asks for. The folder options combine with the
// window and with --autostart; --at-login combines with the window and
// --folder only; --help, --version, --list-ports and --check-typing stand
// alone. Words that are not ours are left to the toolkit for the window,
// and are misuse with --autostart.
struct CommandLineRequest {
    CommandLineAction action = CommandLineAction::Window;
    std::optional<std::string> folder{};  // --folder DIR: work there (made if missing)
    bool inDocuments = false;             // --in-documents: the user's Documents\VM4417
    // --at-login: started by the user's entry; the folder (--folder's, or
    // the one the entry keeps) must be there, and is never made.
    bool atLogin = false;
    StartAtLoginSwitch startAtLogin = StartAtLoginSwitch::Query;
    std::string presetSource{};  // --install-preset FILE
};

CommandLineRequest ParseCommandLineRequest(int argc, const char* const argv[],
                                           const SystemOptions& options = {});
// The action alone, for a system without options of its own.
CommandLineAction ParseCommandLine(int argc, const char* const argv[]);

// What differs between the systems.
struct CommandLineSystem {
    std::string usage;                      // the whole --help text
    std::function<std::string()> portList;  // the --list-ports text
    // The --check-typing text; none where typing has only one way.
    std::function<std::string()> typingReport;
};

// "Použití: <program> [volba]", the options with the system's own among
// them, then the system's paragraph on what a port number means.
std::string UsageText(std::string_view program, std::string_view systemOptions,
                      std::string_view portNames);

struct CommandLineOutcome {
    int exitStatus = 0;
    std::string out;  // for standard output, UTF-8 with LF line ends
    std::string err;  // for standard error
};

// Runs the actions that answer by themselves: Help, Version, ListPorts,
// CheckTyping and Misuse.
CommandLineOutcome RunCommandLineAction(CommandLineAction action, const CommandLineSystem& system);

}  // namespace vm4417
