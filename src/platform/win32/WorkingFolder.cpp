#include "WorkingFolder.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <utility>

#include "Global.h"
#include "WideText.h"

namespace vm4417::win32 {

namespace {

std::optional<std::wstring> KnownFolder(const KNOWNFOLDERID& id) {
    PWSTR path = nullptr;
    const HRESULT result = SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path);
    std::optional<std::wstring> folder;
    if (SUCCEEDED(result) && path != nullptr) folder = path;
    CoTaskMemFree(path);
    return folder;
}

Status Failure(std::string_view call, const std::wstring& path) {
    const DWORD error = GetLastError();
    return Status::Failure(error == ERROR_ACCESS_DENIED ? Fault::NoPermission : Fault::Failed,
                           ErrorText(std::string(call) + " " + Utf8(path), error));
}

// Each folder of the path in turn, as mkdir -p: a drive or share prefix
// simply exists already.
Status MakeFolders(const std::wstring& folder) {
    for (std::size_t slash = folder.find_first_of(L"\\/", 1);;
         slash = folder.find_first_of(L"\\/", slash + 1)) {
        const std::wstring part = folder.substr(0, slash);
        if (!part.empty() && part.back() != L':' && !CreateDirectoryW(part.c_str(), nullptr)) {
            const DWORD error = GetLastError();
            const DWORD attributes = GetFileAttributesW(part.c_str());
            const bool there = attributes != INVALID_FILE_ATTRIBUTES &&
                               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (error != ERROR_ALREADY_EXISTS && !there && slash == std::wstring::npos) {
                SetLastError(error);
                return Failure("CreateDirectoryW", part);
            }
        }
        if (slash == std::wstring::npos) return Status::Success();
    }
}

}  // namespace

Status EnterFolder(const std::string& folder) {
    const std::wstring wide = Wide(folder);
    if (Status made = MakeFolders(wide); !made.Ok()) return made;
    if (!SetCurrentDirectoryW(wide.c_str())) return Failure("SetCurrentDirectoryW", wide);
    return Status::Success();
}

Status EnterExistingFolder(const std::string& folder) {
    const std::wstring wide = Wide(folder);
    if (SetCurrentDirectoryW(wide.c_str())) return Status::Success();
    const DWORD error = GetLastError();
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_NETWORK_UNREACHABLE:
        case ERROR_NOT_READY:
            return Status::Failure(Fault::Missing,
                                   ErrorText("SetCurrentDirectoryW " + folder, error));
        default: SetLastError(error); return Failure("SetCurrentDirectoryW", wide);
    }
}

std::optional<std::string> DocumentsFolder() {
    const auto documents = KnownFolder(FOLDERID_Documents);
    if (!documents) return std::nullopt;
    return Utf8(*documents) + "\\VM4417";
}

std::optional<std::string> CurrentFolder() {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    std::wstring path(length, L'\0');
    const DWORD written = GetCurrentDirectoryW(length, path.data());
    if (written == 0 || written >= length) return std::nullopt;
    path.resize(written);
    return Utf8(path);
}

namespace {

std::wstring FinalPathOfCurrentFolder() {
    const HANDLE folder =
        CreateFileW(L".", 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return {};
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(folder, path.data(), MAX_PATH, FILE_NAME_NORMALIZED);
    if (length >= MAX_PATH) {
        path.resize(length + 1);
        length = GetFinalPathNameByHandleW(folder, path.data(), length + 1, FILE_NAME_NORMALIZED);
    }
    CloseHandle(folder);
    if (length == 0 || length >= path.size()) return {};
    path.resize(length);
    return path;
}

}  // namespace

std::optional<std::string> CanonicalCurrentFolder() {
    std::wstring path = FinalPathOfCurrentFolder();
    if (path.empty()) {
        const auto current = CurrentFolder();
        if (!current) return std::nullopt;
        path = Wide(*current);
    }
    CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    return Utf8(path);
}

WorkingFolder CurrentWorkingFolder() {
    const std::string path = CurrentFolder().value_or(".");
    return {path, FolderKey(CanonicalCurrentFolder().value_or(path))};
}

std::optional<std::string> MachineSettingsFolder() {
    const auto data = KnownFolder(FOLDERID_ProgramData);
    if (!data) return std::nullopt;
    return Utf8(*data) + "\\VM4417";
}

std::string SettingsPresetPath() {
    const auto folder = MachineSettingsFolder();
    return folder ? *folder + "\\" + std::string(kSettingsFileName) : std::string();
}

}  // namespace vm4417::win32
