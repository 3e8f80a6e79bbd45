#include "Console.h"

#include <algorithm>
#include <string_view>

#include "win32/WideText.h"

namespace vm4417::ui {

namespace {

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

// Once per process. Refused when the program is attached already, which
// serves as well.
bool AttachToParentConsole() {
    static const bool attached =
        AttachConsole(ATTACH_PARENT_PROCESS) != 0 || GetLastError() == ERROR_ACCESS_DENIED;
    return attached;
}

// Where a standard handle's text goes; nullptr for nowhere.
HANDLE OutputHandle(DWORD standardHandle) {
    const HANDLE given = GetStdHandle(standardHandle);
    const bool valid = given != nullptr && given != INVALID_HANDLE_VALUE;
    const DWORD type = valid ? GetFileType(given) : FILE_TYPE_UNKNOWN;
    // Redirected by the caller (vm4417.exe --list-ports > ports.txt).
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) return given;
    const bool attached = AttachToParentConsole();
    // A device the caller chose (> NUL). A console handle the program
    // inherited works only once the program is attached to that console,
    // so the test comes after attaching.
    if (type == FILE_TYPE_CHAR && !IsConsole(given)) return given;
    if (!attached) return nullptr;
    // The console's own output, whatever the inherited handle was: it may
    // be stale in a process that started without a console.
    const HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (console == INVALID_HANDLE_VALUE) return nullptr;
    SetStdHandle(standardHandle, console);
    return console;
}

std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// Output to a console or a pipe may be taken in parts.
bool WriteAllConsole(HANDLE handle, const std::wstring& text) {
    for (std::size_t done = 0; done < text.size();) {
        DWORD written = 0;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 8192));
        if (!WriteConsoleW(handle, text.data() + done, part, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

bool WriteAllFile(HANDLE handle, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 65536));
        if (!WriteFile(handle, bytes.data() + done, part, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

// Where each standard handle's text goes, found once.
HANDLE CachedOutputHandle(DWORD standardHandle) {
    static const HANDLE out = OutputHandle(STD_OUTPUT_HANDLE);
    static const HANDLE err = OutputHandle(STD_ERROR_HANDLE);
    return standardHandle == STD_ERROR_HANDLE ? err : out;
}

}  // namespace

bool WriteStandard(DWORD standardHandle, std::string_view text) {
    if (text.empty()) return true;
    const HANDLE handle = CachedOutputHandle(standardHandle);
    if (handle == nullptr) return false;
    // A console starts a new line at LF by itself.
    if (IsConsole(handle)) return WriteAllConsole(handle, win32::Wide(text));
    return WriteAllFile(handle, WithCrLf(text));
}

}  // namespace vm4417::ui
