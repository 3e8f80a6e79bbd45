#pragma once
// Start at login on Linux desktops: the XDG autostart entry
// <dir>/autostart/cz.velm.vm4417.desktop. The user's is in
// $XDG_CONFIG_HOME (~/.config by default); a machine-wide one, which an
// administrator drops into /etc/xdg/autostart, is replaced by a user's file
// of the same name. GNOME, KDE Plasma, Xfce and systemd's
// xdg-autostart-generator all read them so. The user's entry keeps the
// working folder in a key of the program's own (see DesktopEntry.h).

#include <string>
#include <string_view>
#include <vector>

#include "StartAtLogin.h"

namespace vm4417 {

inline constexpr std::string_view kStartAtLoginFileName = "cz.velm.vm4417.desktop";

struct StartAtLoginPlaces {
    std::string userFolder;                   // .../autostart of the user
    std::vector<std::string> machineFolders;  // $XDG_CONFIG_DIRS' autostart folders, first wins
    std::string searchPath;                   // $PATH, for a TryExec without a folder

    static StartAtLoginPlaces FromEnvironment();
};

class StartAtLoginFiles final : public StartAtLoginEntries {
public:
    // `program` is what the user's entry starts (this program's own path).
    StartAtLoginFiles(StartAtLoginPlaces places, std::string program)
        : places_(std::move(places)), program_(std::move(program)) {}
    // The places from the environment, and this program's own path.
    static StartAtLoginFiles FromEnvironment();

    MachineEntryKind Kind() const override { return MachineEntryKind::OverriddenByUser; }
    Status Read(StartAtLoginEntry& user, StartAtLoginEntry& machine) override;
    // A program whose path not every launcher carries is refused, naming
    // the character.
    Status Apply(StartAtLoginStep step, const std::string& folder) override;

    std::string UserEntryPath() const;

private:
    Status ReadEntry(const std::string& path, StartAtLoginEntry& entry) const;
    bool ProgramFound(const std::string& tryExec) const;

    StartAtLoginPlaces places_;
    std::string program_;
};

}  // namespace vm4417
