#include "RunValue.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "WideText.h"

namespace vm4417::win32 {

namespace {

// Backslashes count only before a quote: there each one is doubled, and so
// are those that end the argument, before the closing quote.
std::string QuotedArgument(std::string_view argument) {
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

// An option or a number goes as it is; anything else, a path above all, in
// quotes.
bool PlainArgument(std::string_view argument) {
    return !argument.empty() && std::all_of(argument.begin(), argument.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-';
    });
}

}  // namespace

std::string CommandLineOf(const std::vector<std::string>& words) {
    // The program's own name takes no backslash rules, but it holds no
    // quote and ends in its file name, so the same quoting serves; it is
    // always quoted.
    std::string command;
    for (const std::string& word : words) {
        const bool plain = !command.empty() && PlainArgument(word);
        if (!command.empty()) command += ' ';
        command += plain ? word : QuotedArgument(word);
    }
    return command;
}

std::vector<std::string> CommandWords(std::wstring_view command) {
    // CommandLineToArgvW answers an empty line with this program's own path.
    if (command.empty()) return {};
    const std::wstring terminated(command);
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(terminated.c_str(), &count);
    std::vector<std::string> words;
    for (int i = 0; wide != nullptr && i < count; ++i) words.push_back(Utf8(wide[i]));
    LocalFree(wide);
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

}  // namespace vm4417::win32
