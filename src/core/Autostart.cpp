#include "Autostart.h"

#include <algorithm>

#include "Texts.h"

namespace vm4417 {

namespace {

bool Runs(const AutostartEntry& entry) {
    return entry.present && entry.enabled && entry.programFound;
}

void TakeFolderFrom(const std::vector<std::string>& command, AutostartState& state) {
    for (std::size_t i = 1; i < command.size(); ++i) {
        if (command[i] == kDocumentsOption) state.inDocuments = true;
        if (command[i] == kFolderOption && i + 1 < command.size()) state.folder = command[i + 1];
    }
}

void Decide(const AutostartEntry& entry, AutostartSource source, AutostartState& state) {
    state.on = Runs(entry);
    state.source = source;
    TakeFolderFrom(entry.command, state);
}

}  // namespace

AutostartState DecideAutostart(const AutostartEntry& user, const AutostartEntry& machine,
                               MachineEntryKind kind) {
    AutostartState state;
    state.machineRuns = Runs(machine);
    if (kind == MachineEntryKind::RunsBeside && state.machineRuns) {
        Decide(machine, AutostartSource::Machine, state);
        state.lockedOn = true;
    } else if (user.present) {
        Decide(user, AutostartSource::User, state);
        state.disabledOutside = kind == MachineEntryKind::RunsBeside && !user.enabled;
    } else if (machine.present) {
        Decide(machine, AutostartSource::Machine, state);
    }
    return state;
}

AutostartStep StepToSwitch(const AutostartState& state, bool on, MachineEntryKind kind) {
    if (on) {
        return state.on && state.source == AutostartSource::Machine ? AutostartStep::Nothing
                                                                    : AutostartStep::WriteEntry;
    }
    if (state.lockedOn) return AutostartStep::Refuse;
    // A user's entry that hides the machine's is what keeps it off: it stays.
    if (kind == MachineEntryKind::OverriddenByUser && state.machineRuns) {
        return state.on ? AutostartStep::WriteHiddenEntry : AutostartStep::Nothing;
    }
    return state.source == AutostartSource::User ? AutostartStep::RemoveEntry
                                                 : AutostartStep::Nothing;
}

AutostartMenuItem MenuItemFor(const AutostartState& state) {
    AutostartMenuItem item{std::string(text::kAutostartItem), state.on, !state.lockedOn};
    if (state.on && state.source == AutostartSource::Machine) {
        item.text += text::kAutostartByAdministrator;
    }
    return item;
}

std::string AutostartStateLine(const AutostartState& state) {
    if (!state.on) {
        return std::string(state.disabledOutside ? text::kAutostartOffOutside
                                                 : text::kAutostartOff);
    }
    std::string line(state.source == AutostartSource::Machine ? text::kAutostartOnForAll
                                                              : text::kAutostartOn);
    if (!state.folder.empty()) {
        line += text::kAutostartFolder;
        line += state.folder;
    } else if (state.inDocuments) {
        line += text::kAutostartInDocuments;
    }
    line += '.';
    return line;
}

AutostartResult ReadAutostart(AutostartEntries& entries) {
    AutostartEntry user;
    AutostartEntry machine;
    AutostartResult result;
    result.status = entries.Read(user, machine);
    if (result.status.Ok()) {
        result.state = DecideAutostart(user, machine, entries.Kind());
    } else {
        result.status.detail = std::string(text::kAutostartReadError) + result.status.detail;
    }
    return result;
}

AutostartResult SwitchAutostart(AutostartEntries& entries, bool on, const std::string& folder) {
    AutostartResult result = ReadAutostart(entries);
    if (!result.status.Ok()) return result;
    const AutostartStep step = StepToSwitch(result.state, on, entries.Kind());
    if (step == AutostartStep::Refuse) {
        result.status = Status::Failure(Fault::NoPermission, std::string(text::kAutostartLockedOn));
        return result;
    }
    if (step != AutostartStep::Nothing) {
        result.status = entries.Apply(step, folder);
        if (!result.status.Ok()) {
            result.status.detail = std::string(text::kAutostartError) + result.status.detail;
            return result;
        }
    }
    return ReadAutostart(entries);
}

std::string AutostartResultLine(const AutostartResult& result) {
    return result.status.Ok() ? AutostartStateLine(result.state) : result.status.detail;
}

// ---- XDG desktop entries ---------------------------------------------------

namespace {

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

// An Exec argument in double quotes: `"`, `` ` ``, `$` and `\` escaped
// with a backslash, and `%` doubled so that it is no field code.
std::string QuotedExecArgument(std::string_view argument) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

// A value of type string: the backslash escapes itself. Applied after the
// Exec quoting, so a backslash in a path takes four in the file.
std::string EscapedValue(std::string_view value) {
    std::string escaped;
    for (const char c : value) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string UnescapedValue(std::string_view value) {
    std::string plain;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            plain += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's': plain += ' '; break;
            case 'n': plain += '\n'; break;
            case 't': plain += '\t'; break;
            case 'r': plain += '\r'; break;
            case '\\': plain += '\\'; break;
            default:
                plain += '\\';
                plain += value[i];
                break;
        }
    }
    return plain;
}

std::vector<std::string> ExecWords(std::string_view exec) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < exec.size()) {
                word += exec[++i];
            } else {
                word += c;
            }
        } else if (c == ' ' || c == '\t') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else if (c == '"') {
            quoted = inWord = true;
        } else {
            word += c;
            inWord = true;
        }
        if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%') ++i;
    }
    if (inWord) words.push_back(word);
    return words;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::optional<std::string> DesktopEntryText(std::string_view program, std::string_view folder,
                                            bool hidden) {
    if (HasControlCharacter(program) || HasControlCharacter(folder)) return std::nullopt;
    const std::string exec = QuotedExecArgument(program) + ' ' + std::string(kFolderOption) + ' ' +
                             QuotedExecArgument(folder);
    std::string text = "[Desktop Entry]\nType=Application\nName=";
    text += text::kAutostartEntryName;
    text += "\nComment=";
    text += text::kAutostartEntryComment;
    text += "\nExec=" + EscapedValue(exec);
    text += "\nTryExec=" + EscapedValue(program);
    text += "\nIcon=vm4417\nTerminal=false\n";
    if (hidden) text += "Hidden=true\n";
    return text;
}

DesktopEntryReading ReadDesktopEntry(std::string_view text) {
    DesktopEntryReading reading;
    bool inEntry = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inEntry || equals == std::string_view::npos) continue;
        const std::string_view key = Trimmed(line.substr(0, equals));
        const std::string value = UnescapedValue(Trimmed(line.substr(equals + 1)));
        if (key == "Hidden" && value == "true") reading.hidden = true;
        if (key == "X-GNOME-Autostart-enabled" && value == "false") reading.hidden = true;
        if (key == "TryExec") reading.tryExec = value;
        if (key == "Exec") reading.exec = ExecWords(value);
    }
    return reading;
}

// ---- Windows Run values -----------------------------------------------------

namespace {

// Backslashes count only before a quote: there each one is doubled, and so
// are those that end the argument, before the closing quote.
std::string QuotedWindowsArgument(std::string_view argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    quoted += '"';
    return quoted;
}

}  // namespace

std::string RunCommand(std::string_view program, std::string_view folder) {
    // The program's own name takes no backslash rules, but it holds no
    // quote and ends in its file name, so the same quoting serves.
    return QuotedWindowsArgument(program) + ' ' + std::string(kFolderOption) + ' ' +
           QuotedWindowsArgument(folder);
}

std::vector<std::string> SplitWindowsCommand(std::string_view command) {
    std::vector<std::string> words;
    std::size_t i = 0;
    // The program: up to the closing quote, or the first blank; no escapes.
    std::string program;
    if (i < command.size() && command[i] == '"') {
        const auto close = command.find('"', 1);
        program = command.substr(1, close == std::string_view::npos ? close : close - 1);
        i = close == std::string_view::npos ? command.size() : close + 1;
    } else {
        while (i < command.size() && command[i] != ' ' && command[i] != '\t')
            program += command[i++];
    }
    words.push_back(program);
    std::string word;
    bool inWord = false;
    bool quoted = false;
    while (i < command.size()) {
        const char c = command[i];
        if (c == '\\') {
            std::size_t run = 0;
            while (i < command.size() && command[i] == '\\') ++run, ++i;
            if (i < command.size() && command[i] == '"') {
                word.append(run / 2, '\\');
                if (run % 2 == 1) {
                    word += '"';
                    ++i;
                }
            } else {
                word.append(run, '\\');
            }
            inWord = true;
            continue;
        }
        if (c == '"') {
            if (quoted && i + 1 < command.size() && command[i + 1] == '"') {
                word += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
        ++i;
    }
    if (inWord) words.push_back(word);
    return words;
}

bool ApprovedToRun(std::span<const std::uint8_t> approval) {
    return approval.empty() || (approval[0] & 1) == 0;
}

std::vector<std::uint8_t> EnabledApproval() {
    std::vector<std::uint8_t> bytes(12, 0);
    bytes[0] = 2;
    return bytes;
}

}  // namespace vm4417
