#pragma once
// Start at login on Linux desktops: the XDG autostart entry
// <dir>/autostart/cz.velm.vm4417.desktop. The user's is in
// $XDG_CONFIG_HOME (~/.config by default); a machine-wide one, which an
// administrator drops into /etc/xdg/autostart, is replaced by a user's file
// of the same name. GNOME, KDE Plasma, Xfce and systemd's
// xdg-autostart-generator all read them so.

#include <string>
#include <vector>

#include "Autostart.h"

namespace vm4417 {

struct XdgAutostartPlaces {
    std::string userFolder;                   // .../autostart of the user
    std::vector<std::string> machineFolders;  // $XDG_CONFIG_DIRS' autostart folders, first wins
    std::string searchPath;                   // $PATH, for a TryExec without a folder

    static XdgAutostartPlaces FromEnvironment();
};

class XdgAutostart final : public AutostartEntries {
public:
    // `program` is what the user's entry starts (this program's own path).
    XdgAutostart(XdgAutostartPlaces places, std::string program)
        : places_(std::move(places)), program_(std::move(program)) {}

    MachineEntryKind Kind() const override { return MachineEntryKind::OverriddenByUser; }
    Status Read(AutostartEntry& user, AutostartEntry& machine) override;
    Status Apply(AutostartStep step, const std::string& folder) override;

    std::string UserEntryPath() const;

private:
    Status ReadEntry(const std::string& path, AutostartEntry& entry) const;
    bool ProgramFound(const std::string& tryExec) const;

    XdgAutostartPlaces places_;
    std::string program_;
};

}  // namespace vm4417
