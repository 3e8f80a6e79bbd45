#include "DesktopEntry.h"

#include <algorithm>

#include "Texts.h"

namespace vm4417 {

namespace {

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

bool PlainExecArgument(std::string_view argument) {
    return !argument.empty() && std::all_of(argument.begin(), argument.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("/-_.+,:@").find(c) != std::string_view::npos;
    });
}

// An Exec argument as written: a plain one as it is, any other in double
// quotes, with `"`, `` ` ``, `$` and `\` escaped with a backslash, and `%`
// doubled so that it is no field code.
std::string QuotedExecArgument(std::string_view argument) {
    if (PlainExecArgument(argument)) return std::string(argument);
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

// A value of type string: the backslash escapes itself, and a space at
// either end is written \s, since readers trim the value. Applied after the
// Exec quoting, so a backslash in a path takes four in the file.
std::string EscapedValue(std::string_view value) {
    std::string escaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == ' ' && (i == 0 || i + 1 == value.size())) {
            escaped += "\\s";
            continue;
        }
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

std::optional<char> CharacterNotCarried(std::string_view word) {
    const auto found = std::find_if(word.begin(), word.end(),
                                    [](char c) { return c == '$' || c == '`' || c == '\\'; });
    if (found == word.end()) return std::nullopt;
    return *found;
}

std::optional<std::string> DesktopEntryText(const DesktopEntryFields& fields) {
    if (fields.exec.empty() || HasControlCharacter(fields.folder)) return std::nullopt;
    std::string exec;
    for (const std::string& word : fields.exec) {
        if (HasControlCharacter(word)) return std::nullopt;
        if (!exec.empty()) exec += ' ';
        exec += QuotedExecArgument(word);
    }
    std::string text = "[Desktop Entry]\nType=Application\nName=";
    text += text::kStartAtLoginEntryName;
    text += "\nComment=";
    text += text::kStartAtLoginEntryComment;
    text += "\nExec=" + EscapedValue(exec);
    text += "\nTryExec=" + EscapedValue(fields.exec.front());
    if (!fields.folder.empty()) {
        text += '\n';
        text += kFolderKey;
        text += '=' + EscapedValue(fields.folder);
    }
    text += "\nIcon=vm4417\nTerminal=false\n";
    if (fields.hidden) text += "Hidden=true\n";
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
        if (key == kFolderKey) reading.folder = value;
    }
    return reading;
}

}  // namespace vm4417
