#include "StartAtLogin.h"

#include "Texts.h"

namespace vm4417 {

namespace {

bool Runs(const StartAtLoginEntry& entry) {
    return entry.present && entry.enabled && entry.programFound;
}

void TakeFolderFrom(const StartAtLoginEntry& entry, StartAtLoginState& state) {
    state.folder = entry.folder;
    const std::vector<std::string>& command = entry.command;
    for (std::size_t i = 1; i < command.size(); ++i) {
        if (command[i] == kDocumentsOption) state.inDocuments = true;
        if (command[i] == kFolderOption && i + 1 < command.size()) state.folder = command[i + 1];
    }
}

void Decide(const StartAtLoginEntry& entry, StartAtLoginSource source, StartAtLoginState& state) {
    state.on = Runs(entry);
    state.source = source;
    TakeFolderFrom(entry, state);
}

}  // namespace

StartAtLoginState DecideStartAtLogin(const StartAtLoginEntry& user,
                                     const StartAtLoginEntry& machine, MachineEntryKind kind) {
    StartAtLoginState state;
    state.machineRuns = Runs(machine);
    if (kind == MachineEntryKind::RunsBeside && state.machineRuns) {
        Decide(machine, StartAtLoginSource::Machine, state);
        state.lockedOn = true;
    } else if (user.present) {
        Decide(user, StartAtLoginSource::User, state);
        state.disabledOutside = kind == MachineEntryKind::RunsBeside && !user.enabled;
    } else if (machine.present) {
        Decide(machine, StartAtLoginSource::Machine, state);
    }
    return state;
}

std::vector<std::string> LoginCommand(std::string_view program, std::string_view folder,
                                      FolderPlace place) {
    std::vector<std::string> command{std::string(program), std::string(kAtLoginOption)};
    if (place == FolderPlace::InCommand) {
        command.emplace_back(kFolderOption);
        command.emplace_back(folder);
    }
    return command;
}

StartAtLoginStep StepToSwitch(const StartAtLoginState& state, bool on, MachineEntryKind kind) {
    if (on) {
        return state.on && state.source == StartAtLoginSource::Machine
                   ? StartAtLoginStep::Nothing
                   : StartAtLoginStep::WriteEntry;
    }
    if (state.lockedOn) return StartAtLoginStep::Refuse;
    // A user's entry that hides the machine's is what keeps it off: it stays.
    if (kind == MachineEntryKind::OverriddenByUser && state.machineRuns) {
        return state.on ? StartAtLoginStep::WriteHiddenEntry : StartAtLoginStep::Nothing;
    }
    return state.source == StartAtLoginSource::User ? StartAtLoginStep::RemoveEntry
                                                    : StartAtLoginStep::Nothing;
}

StartAtLoginMenuItem MenuItemFor(const StartAtLoginState& state) {
    StartAtLoginMenuItem item{std::string(text::kStartAtLoginItem), state.on, !state.lockedOn};
    if (state.on && state.source == StartAtLoginSource::Machine) {
        item.text += text::kStartAtLoginByAdministrator;
    }
    return item;
}

std::string StartAtLoginStateLine(const StartAtLoginState& state) {
    if (!state.on) {
        return std::string(state.disabledOutside ? text::kStartAtLoginOffOutside
                                                 : text::kStartAtLoginOff);
    }
    std::string line(state.source == StartAtLoginSource::Machine ? text::kStartAtLoginOnForAll
                                                                 : text::kStartAtLoginOn);
    if (!state.folder.empty()) {
        line += text::kStartAtLoginFolder;
        line += state.folder;
    } else if (state.inDocuments) {
        line += text::kStartAtLoginInDocuments;
    }
    line += '.';
    return line;
}

StartAtLoginResult ReadStartAtLogin(StartAtLoginEntries& entries) {
    StartAtLoginEntry user;
    StartAtLoginEntry machine;
    StartAtLoginResult result;
    result.status = entries.Read(user, machine);
    if (result.status.Ok()) {
        result.state = DecideStartAtLogin(user, machine, entries.Kind());
    } else {
        result.status.detail = std::string(text::kStartAtLoginReadError) + result.status.detail;
    }
    return result;
}

StartAtLoginResult SwitchStartAtLogin(StartAtLoginEntries& entries, bool on,
                                      const std::string& folder) {
    StartAtLoginResult result = ReadStartAtLogin(entries);
    if (!result.status.Ok()) return result;
    const StartAtLoginStep step = StepToSwitch(result.state, on, entries.Kind());
    if (step == StartAtLoginStep::Refuse) {
        result.status =
            Status::Failure(Fault::NoPermission, std::string(text::kStartAtLoginLockedOn));
        return result;
    }
    if (step != StartAtLoginStep::Nothing) {
        result.status = entries.Apply(step, folder);
        if (!result.status.Ok()) {
            result.status.detail = std::string(text::kStartAtLoginError) + result.status.detail;
            return result;
        }
    }
    return ReadStartAtLogin(entries);
}

std::string StartAtLoginResultLine(const StartAtLoginResult& result) {
    return result.status.Ok() ? StartAtLoginStateLine(result.state) : result.status.detail;
}

CommandLineOutcome RunStartAtLoginOption(StartAtLoginEntries& entries, StartAtLoginSwitch wanted,
                                         const std::string& folder) {
    const StartAtLoginResult result =
        wanted == StartAtLoginSwitch::Query
            ? ReadStartAtLogin(entries)
            : SwitchStartAtLogin(entries, wanted == StartAtLoginSwitch::On, folder);
    const std::string line = StartAtLoginResultLine(result) + '\n';
    if (result.status.Ok()) return {0, line, {}};
    return {1, {}, line};
}

StartAtLoginMenuItem ReadMenuItem(StartAtLoginEntries& entries) {
    return MenuItemFor(ReadStartAtLogin(entries).state);
}

void SwitchFromMenu(StartAtLoginEntries& entries, bool on, const std::string& folder,
                    MainView& view) {
    const StartAtLoginResult result = SwitchStartAtLogin(entries, on, folder);
    if (result.status.Ok()) {
        view.SetStatusText(StartAtLoginResultLine(result));
    } else {
        view.ShowErrorBox(StartAtLoginResultLine(result));
    }
}

std::string LoginFolder(const std::optional<std::string>& named, StartAtLoginEntries& entries) {
    if (named) return *named;
    return ReadStartAtLogin(entries).state.folder;
}

}  // namespace vm4417
