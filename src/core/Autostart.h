#pragma once
// Start at login, the rules shared by every system: what an entry says (the
// command it starts, whether it runs), which entry decides when the user's
// and the machine's both exist, and what switching it means. The entry
// itself is the setting: the platforms read it back every time and keep no
// flag of their own. Reading and writing the files or the registry is the
// platforms' part (posix/XdgAutostart, win32/RunAtLogin).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Status.h"

namespace vm4417 {

// The user's entry: ~/.config/autostart/<name> on Linux, the value <name>
// under HKCU\...\CurrentVersion\Run on Windows. The machine-wide ones carry
// the same names.
inline constexpr std::string_view kAutostartFileName = "cz.velm.vm4417.desktop";
inline constexpr std::string_view kRunValueName = "VM4417";
inline constexpr std::string_view kFolderOption = "--folder";
inline constexpr std::string_view kDocumentsOption = "--in-documents";

// One entry as a platform read it.
struct AutostartEntry {
    bool present = false;
    // The desktop would start it: not Hidden, not disabled for GNOME, not
    // disabled in Task Manager.
    bool enabled = false;
    // Its program is there (TryExec on Linux; Windows runs whatever is named).
    bool programFound = true;
    std::vector<std::string> command;  // the program and its arguments
};

// How the machine's entry and the user's relate. XDG: a user's file of the
// same name replaces the machine's. Windows: HKLM's Run and HKCU's Run both
// run, and a user cannot switch the machine's off.
enum class MachineEntryKind { OverriddenByUser, RunsBeside };

enum class AutostartSource { None, User, Machine };

struct AutostartState {
    bool on = false;
    AutostartSource source = AutostartSource::None;  // the entry that decides
    // Only an administrator can switch it off (a machine entry on Windows).
    bool lockedOn = false;
    // The user's entry is there but switched off outside the program (Task
    // Manager's "Disable"); switching on enables it again.
    bool disabledOutside = false;
    // The machine's entry would start the program if the user's were gone.
    bool machineRuns = false;
    std::string folder;        // the --folder of the deciding entry, if it has one
    bool inDocuments = false;  // it starts with --in-documents
};

AutostartState DecideAutostart(const AutostartEntry& user, const AutostartEntry& machine,
                               MachineEntryKind kind);

// What the platform does to reach the wanted state.
enum class AutostartStep {
    Nothing,           // it is so already, through an entry that stays
    WriteEntry,        // the user's entry, enabled, for the current folder
    WriteHiddenEntry,  // a user's entry that hides the machine's (XDG)
    RemoveEntry,       // the user's entry goes
    Refuse,            // only an administrator can switch it off
};
AutostartStep StepToSwitch(const AutostartState& state, bool on, MachineEntryKind kind);

// The checkable menu item that switches it ("Spouštět po přihlášení").
struct AutostartMenuItem {
    std::string text;
    bool checked = false;
    bool enabled = true;
};
AutostartMenuItem MenuItemFor(const AutostartState& state);

// The one Czech line `--autostart` prints, for the state after any switch.
std::string AutostartStateLine(const AutostartState& state);

// The entries as a system keeps them (files, the registry).
class AutostartEntries {
public:
    virtual ~AutostartEntries() = default;
    virtual MachineEntryKind Kind() const = 0;
    // Reads the user's and the machine's entry anew.
    virtual Status Read(AutostartEntry& user, AutostartEntry& machine) = 0;
    // Carries out a step; WriteEntry starts the program in `folder`.
    virtual Status Apply(AutostartStep step, const std::string& folder) = 0;
};

struct AutostartResult {
    Status status;  // a failure's detail: the Czech line, with the system's words
    AutostartState state;
};
// The state as the entries say it now.
AutostartResult ReadAutostart(AutostartEntries& entries);
// Switches it on (for `folder`) or off, and reads the entries back.
AutostartResult SwitchAutostart(AutostartEntries& entries, bool on, const std::string& folder);
// The state line, or what went wrong, in one Czech line.
std::string AutostartResultLine(const AutostartResult& result);

// ---- XDG desktop entries (Linux) ---------------------------------------

// The user's entry: Exec="<program>" --folder "<folder>", TryExec=<program>,
// and Hidden=true when it only hides the machine's. Nothing when a path
// holds a control character, which an entry line cannot carry.
std::optional<std::string> DesktopEntryText(std::string_view program, std::string_view folder,
                                            bool hidden);

struct DesktopEntryReading {
    bool hidden = false;            // Hidden=true, or X-GNOME-Autostart-enabled=false
    std::string tryExec;            // empty when there is none
    std::vector<std::string> exec;  // Exec split into words, field codes left as written
};
// Reads the [Desktop Entry] group of an entry's text.
DesktopEntryReading ReadDesktopEntry(std::string_view text);

// ---- Windows Run values -------------------------------------------------

// "<program>" --folder "<folder>", split back by Windows' own rules
// (CommandLineToArgvW) into the same two paths.
std::string RunCommand(std::string_view program, std::string_view folder);
// A command line split as CommandLineToArgvW splits it.
std::vector<std::string> SplitWindowsCommand(std::string_view command);

// Task Manager's StartupApproved\Run value for an entry: none, or a first
// byte with its lowest bit clear, lets it run.
bool ApprovedToRun(std::span<const std::uint8_t> approval);
// What Task Manager writes when the operator enables an entry.
std::vector<std::uint8_t> EnabledApproval();

}  // namespace vm4417
