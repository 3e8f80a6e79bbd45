#include "WinePorts.h"

#include <windows.h>

#include <string>

#include "SystemPorts.h"

namespace vm4417::win32 {

namespace {

// Wine's own call for the Unix path of a Windows path.
using UnixFileName = char*(CDECL*)(LPCWSTR);

// "\\?\unix\...\dosdevices\com*": Wine reads such a path as a Unix one.
std::optional<std::wstring> DosDevicesPattern() {
    const auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unixFileName == nullptr) return std::nullopt;
    // ".../dosdevices/c:/": C: is a link in the same folder.
    char* drive = unixFileName(L"C:\\");
    if (drive == nullptr) return std::nullopt;
    std::string folder(drive);
    HeapFree(GetProcessHeap(), 0, drive);
    const std::size_t end = folder.rfind("/dosdevices/");
    if (end == std::string::npos) return std::nullopt;
    folder.resize(end + 12);
    std::wstring pattern = L"\\\\?\\unix";
    for (const char c : folder) pattern += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return pattern + L"com*";
}

}  // namespace

bool UnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Wine lists a link that leads nowhere as no entry at all.
std::optional<std::set<std::uint8_t>> WineLinkedPorts() {
    const auto pattern = DosDevicesPattern();
    if (!pattern) return std::nullopt;
    std::set<std::uint8_t> linked;
    WIN32_FIND_DATAW entry{};
    const HANDLE find = FindFirstFileW(pattern->c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_NO_MORE_FILES) {
            return linked;
        }
        return std::nullopt;
    }
    do {
        if (const auto number = ComNumber(entry.cFileName)) linked.insert(*number);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return linked;
}

}  // namespace vm4417::win32
