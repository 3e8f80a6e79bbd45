#pragma once
// The format of an XDG desktop entry, as far as start at login needs it:
// the text of the program's own entry, and what any entry says when read
// back. Plain functions, no files.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vm4417 {

// The key of the program's own that keeps the working folder beside Exec.
inline constexpr std::string_view kFolderKey = "X-VM4417-Folder";

// The first character of `word` that not every launcher carries through an
// Exec line: systemd's xdg-autostart-generator writes `$` and `` ` `` into
// its unit with a backslash that systemd then keeps, and refuses an entry
// with a backslash. Nothing when every launcher reads the word alike.
std::optional<char> CharacterNotCarried(std::string_view word);

struct DesktopEntryFields {
    std::vector<std::string> exec;  // the program and its arguments
    std::string folder;             // kFolderKey's value; empty: none
    bool hidden = false;            // Hidden=true: it only hides the machine's
};
// The entry's text: Exec (each word quoted), TryExec=<program>, the folder
// key, Hidden. Nothing when a word or the folder holds a control
// character, which an entry line cannot carry.
std::optional<std::string> DesktopEntryText(const DesktopEntryFields& fields);

struct DesktopEntryReading {
    bool hidden = false;            // Hidden=true, or X-GNOME-Autostart-enabled=false
    std::string tryExec;            // empty when there is none
    std::vector<std::string> exec;  // Exec split into words, field codes left as written
    std::string folder;             // kFolderKey's value, empty when there is none
};
// Reads the [Desktop Entry] group of an entry's text.
DesktopEntryReading ReadDesktopEntry(std::string_view text);

}  // namespace vm4417
