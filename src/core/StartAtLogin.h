#pragma once
// Start at login, the rules shared by every system: what an entry says (the
// command it starts, the folder it names, whether it runs), which entry
// decides when the user's and the machine's both exist, what the user's
// entry starts, what switching it means, and how the menu item and
// `--autostart` tell it. The entry itself is the setting: the platforms read
// it back every time and keep no flag of their own. The entries' formats
// and where they are kept are the platforms' part (posix/StartAtLoginFiles
// with posix/DesktopEntry, win32/StartAtLoginRegistry with win32/RunValue).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"
#include "MainView.h"
#include "Status.h"

namespace vm4417 {

// One entry as a platform read it.
struct StartAtLoginEntry {
    bool present = false;
    // The desktop would start it: not Hidden, not disabled for GNOME, not
    // disabled in Task Manager.
    bool enabled = false;
    // Its program is there (TryExec on Linux; Windows runs whatever is named).
    bool programFound = true;
    std::vector<std::string> command;  // the program and its arguments
    // The working folder kept beside the command (an entry's own key on
    // Linux), where the command does not name one.
    std::string folder;
};

// How the machine's entry and the user's relate. XDG: a user's file of the
// same name replaces the machine's. Windows: HKLM's Run and HKCU's Run both
// run, and a user cannot switch the machine's off.
enum class MachineEntryKind { OverriddenByUser, RunsBeside };

// Where the user's entry keeps the working folder. In the command
// (Windows: the Run value is split by one rule, CommandLineToArgvW's), or
// beside it (XDG: each launcher reads Exec by rules of its own, and some
// change a `$` or refuse a backslash, so Exec names only the program).
enum class FolderPlace { InCommand, BesideCommand };

enum class StartAtLoginSource { None, User, Machine };

struct StartAtLoginState {
    bool on = false;
    StartAtLoginSource source = StartAtLoginSource::None;  // the entry that decides
    // Only an administrator can switch it off (a machine entry on Windows).
    bool lockedOn = false;
    // The user's entry is there but switched off outside the program (Task
    // Manager's "Disable"); switching on enables it again.
    bool disabledOutside = false;
    // The machine's entry would start the program if the user's were gone.
    bool machineRuns = false;
    std::string folder;        // the working folder of the deciding entry, if it names one
    bool inDocuments = false;  // it starts with --in-documents
};

StartAtLoginState DecideStartAtLogin(const StartAtLoginEntry& user,
                                     const StartAtLoginEntry& machine, MachineEntryKind kind);

// What the user's entry starts: the program with --at-login, so that it
// works only in a folder that is there, and --folder where the folder is
// kept in the command.
std::vector<std::string> LoginCommand(std::string_view program, std::string_view folder,
                                      FolderPlace place);

// What the platform does to reach the wanted state.
enum class StartAtLoginStep {
    Nothing,           // it is so already, through an entry that stays
    WriteEntry,        // the user's entry, enabled, for the current folder
    WriteHiddenEntry,  // a user's entry that hides the machine's (XDG)
    RemoveEntry,       // the user's entry goes
    Refuse,            // only an administrator can switch it off
};
StartAtLoginStep StepToSwitch(const StartAtLoginState& state, bool on, MachineEntryKind kind);

// The checkable menu item that switches it ("Spouštět po přihlášení").
struct StartAtLoginMenuItem {
    std::string text;
    bool checked = false;
    bool enabled = true;
};
StartAtLoginMenuItem MenuItemFor(const StartAtLoginState& state);

// The one Czech line `--autostart` prints, for the state after any switch.
std::string StartAtLoginStateLine(const StartAtLoginState& state);

// The entries as a system keeps them (files, the registry).
class StartAtLoginEntries {
public:
    virtual ~StartAtLoginEntries() = default;
    virtual MachineEntryKind Kind() const = 0;
    // Reads the user's and the machine's entry anew.
    virtual Status Read(StartAtLoginEntry& user, StartAtLoginEntry& machine) = 0;
    // Carries out a step; WriteEntry writes LoginCommand for `folder`.
    virtual Status Apply(StartAtLoginStep step, const std::string& folder) = 0;
};

struct StartAtLoginResult {
    Status status;  // a failure's detail: the Czech line, with the system's words
    StartAtLoginState state;
};
// The state as the entries say it now.
StartAtLoginResult ReadStartAtLogin(StartAtLoginEntries& entries);
// Switches it on (for `folder`) or off, and reads the entries back.
StartAtLoginResult SwitchStartAtLogin(StartAtLoginEntries& entries, bool on,
                                      const std::string& folder);
// The state line, or what went wrong, in one Czech line.
std::string StartAtLoginResultLine(const StartAtLoginResult& result);

// `--autostart [on|off]` in the working folder `folder`: the state in one
// line on standard output (0), or what went wrong on standard error (1).
CommandLineOutcome RunStartAtLoginOption(StartAtLoginEntries& entries, StartAtLoginSwitch wanted,
                                         const std::string& folder);

// The main window's menu item: read anew each time the menu opens; a switch
// tells the new state on the status bar, or what went wrong in a box.
StartAtLoginMenuItem ReadMenuItem(StartAtLoginEntries& entries);
void SwitchFromMenu(StartAtLoginEntries& entries, bool on, const std::string& folder,
                    MainView& view);

// The folder a start with --at-login works in: the one its command names,
// or else the one its entry keeps beside the command (empty: none).
std::string LoginFolder(const std::optional<std::string>& named, StartAtLoginEntries& entries);

}  // namespace vm4417
