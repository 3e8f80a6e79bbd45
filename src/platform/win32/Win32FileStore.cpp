#include "Win32FileStore.h"

#include <windows.h>

#include <atomic>
#include <utility>

#include "WideText.h"

namespace vm4417 {

namespace {

using win32::Wide;

Fault FaultOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return Fault::Missing;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT: return Fault::NoPermission;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return Fault::InUse;
        default: return Fault::Failed;
    }
}

Status Failure(std::string_view call, const std::string& path) {
    const DWORD error = GetLastError();
    return Status::Failure(FaultOf(error), win32::ErrorText(std::string(call) + " " + path, error));
}

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Close() {
        if (!valid()) return true;
        return CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != 0;
    }

private:
    HANDLE handle_;
};

// Only a plain file on a disk: no device (NUL, CON, COM1, a pipe), no
// directory, no reparse point (a symbolic link or junction leads elsewhere).
Status CheckPlainDiskFile(HANDLE file, const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain =
        GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
        (info.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
    if (plain) return Status::Success();
    return Status::Failure(Fault::WrongKind, "CreateFileW " + path + ": not a plain file");
}

// A name beside `path` that no other save (of this or another process) uses.
std::wstring TemporaryNameFor(const std::wstring& path) {
    static std::atomic<unsigned> sequence{0};
    return path + L".tmp." + std::to_wstring(GetCurrentProcessId()) + L"." +
           std::to_wstring(sequence++);
}

// Cuts the file back to `size` after a failed append.
void RollBack(HANDLE file, LARGE_INTEGER size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile = size;
    if (!SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) &&
        SetFilePointerEx(file, size, nullptr, FILE_BEGIN)) {
        SetEndOfFile(file);
    }
    FlushFileBuffers(file);
}

// Writes everything in one call, then waits until it is on the disk.
Status WriteAndFlush(HANDLE file, const void* data, std::size_t size, const std::string& path) {
    DWORD written = 0;
    if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr)) {
        return Failure("WriteFile", path);
    }
    if (written != size) {
        return Status::Failure(Fault::Failed, "WriteFile " + path + ": the disk took only " +
                                                  std::to_string(written) + " bytes");
    }
    if (!FlushFileBuffers(file)) return Failure("FlushFileBuffers", path);
    return Status::Success();
}

}  // namespace

std::optional<std::string> Win32FileStore::PathInWorkingDirectory(std::string_view name) {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) return std::nullopt;
    std::wstring directory(needed, L'\0');
    const DWORD length = GetCurrentDirectoryW(needed, directory.data());
    if (length == 0 || length >= needed) return std::nullopt;
    directory.resize(length);
    // At a drive root the directory already ends in a separator.
    if (directory.back() != L'\\' && directory.back() != L'/') directory += L'\\';
    return win32::Utf8(directory) + std::string(name);
}

FileReadResult Win32FileStore::ReadPrefix(const std::string& path, std::size_t maxBytes) {
    FileReadResult result;
    FileHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) {
        result.opening = Failure("CreateFileW", path);
        return result;
    }
    result.opening = CheckPlainDiskFile(file.get(), path);
    if (!result.Opened()) return result;
    result.bytes.resize(maxBytes);
    DWORD got = 0;
    const bool read =
        ReadFile(file.get(), result.bytes.data(), static_cast<DWORD>(maxBytes), &got, nullptr) != 0;
    result.bytes.resize(got);
    const bool closed = file.Close();
    result.complete = read && closed;
    return result;
}

Status Win32FileStore::ReplaceDurably(const std::string& path,
                                      std::span<const std::uint8_t> bytes) {
    const std::wstring target = Wide(path);
    const std::wstring temporary = TemporaryNameFor(target);
    const std::string temporaryText = win32::Utf8(temporary);
    FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return Failure("CreateFileW", temporaryText);
    Status status = WriteAndFlush(file.get(), bytes.data(), bytes.size(), temporaryText);
    if (!file.Close() && status.Ok()) status = Failure("CloseHandle", temporaryText);
    // Write-through: the rename itself is on the disk when the call returns.
    if (status.Ok() && !MoveFileExW(temporary.c_str(), target.c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        status = Failure("MoveFileExW", path);
    }
    if (!status.Ok()) DeleteFileW(temporary.c_str());
    return status;
}

Status Win32FileStore::AppendDurably(const std::string& path, std::string_view text) {
    // Write access (not only FILE_APPEND_DATA) so that a failed write can be
    // cut off again. Nobody else may write while this handle is open (it
    // shares reading only), so the end found below is the end written to.
    // The reparse-point flag opens a link itself, which the kind check then
    // refuses instead of following it.
    FileHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) return Failure("CreateFileW", path);
    if (Status kind = CheckPlainDiskFile(file.get(), path); !kind.Ok()) return kind;
    LARGE_INTEGER before{};
    if (!GetFileSizeEx(file.get(), &before)) return Failure("GetFileSizeEx", path);
    if (!SetFilePointerEx(file.get(), before, nullptr, FILE_BEGIN)) {
        return Failure("SetFilePointerEx", path);
    }
    // One write keeps the line whole.
    Status status = WriteAndFlush(file.get(), text.data(), text.size(), path);
    if (!status.Ok()) RollBack(file.get(), before);
    if (!file.Close() && status.Ok()) status = Failure("CloseHandle", path);
    return status;
}

}  // namespace vm4417
