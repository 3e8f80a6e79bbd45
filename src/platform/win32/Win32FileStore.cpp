#include "Win32FileStore.h"

#include <windows.h>

#include <atomic>
#include <utility>

#include "WideText.h"

namespace vm4417 {

namespace {

using win32::ErrorText;
using win32::Wide;

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

// Only a plain file on a disk: no device (CON, COM1, a pipe), no directory,
// no reparse point (a symbolic link or junction would lead elsewhere).
bool IsPlainDiskFile(HANDLE file) {
    if (GetFileType(file) != FILE_TYPE_DISK) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return false;
    return (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                                     FILE_ATTRIBUTE_DEVICE)) == 0;
}

// A name beside `path` that no other save (of this or another process) uses.
std::wstring TemporaryNameFor(const std::wstring& path) {
    static std::atomic<unsigned> sequence{0};
    return path + L".tmp." + std::to_wstring(GetCurrentProcessId()) + L"." +
           std::to_wstring(sequence++);
}

bool SizeOf(HANDLE file, LARGE_INTEGER& size) { return GetFileSizeEx(file, &size) != 0; }

// Cuts the file back to `size` after a failed append.
void RollBack(HANDLE file, LARGE_INTEGER size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile = size;
    if (!SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end)) {
        // FILE_APPEND_DATA alone may not allow the call above; the file is
        // opened with GENERIC_WRITE's truncation right too, so try the old way.
        if (SetFilePointerEx(file, size, nullptr, FILE_BEGIN)) SetEndOfFile(file);
    }
    FlushFileBuffers(file);
}

}  // namespace

std::optional<std::string> Win32FileStore::PathInWorkingDirectory(std::string_view name) {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) {
        lastFailure_ = ErrorText("GetCurrentDirectoryW", GetLastError());
        return std::nullopt;
    }
    std::wstring directory(needed, L'\0');
    const DWORD length = GetCurrentDirectoryW(needed, directory.data());
    if (length == 0 || length >= needed) {
        lastFailure_ = ErrorText("GetCurrentDirectoryW", GetLastError());
        return std::nullopt;
    }
    directory.resize(length);
    // At a drive root the directory already ends in a separator.
    if (directory.back() != L'\\' && directory.back() != L'/') directory += L'\\';
    return win32::Utf8(directory) + std::string(name);
}

FileReadResult Win32FileStore::ReadPrefix(const std::string& path, std::size_t maxBytes) {
    FileReadResult result;
    lastFailure_.clear();
    FileHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) {
        lastFailure_ = ErrorText("CreateFileW " + path, GetLastError());
        return result;
    }
    if (!IsPlainDiskFile(file.get())) {
        lastFailure_ = "CreateFileW " + path + ": not a plain file";
        return result;
    }
    result.opened = true;
    result.bytes.resize(maxBytes);
    DWORD got = 0;
    const bool read = ReadFile(file.get(), result.bytes.data(), static_cast<DWORD>(maxBytes), &got,
                               nullptr) != 0;
    if (!read) lastFailure_ = ErrorText("ReadFile " + path, GetLastError());
    result.bytes.resize(got);
    const bool closed = file.Close();
    result.complete = read && closed;
    return result;
}

bool Win32FileStore::ReplaceDurably(const std::string& path, std::span<const std::uint8_t> bytes) {
    lastFailure_.clear();
    const std::wstring target = Wide(path);
    const std::wstring temporary = TemporaryNameFor(target);
    FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        lastFailure_ = ErrorText("CreateFileW " + win32::Utf8(temporary), GetLastError());
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                        nullptr) != 0 &&
              written == bytes.size();
    if (!ok) lastFailure_ = ErrorText("WriteFile " + win32::Utf8(temporary), GetLastError());
    if (ok && !FlushFileBuffers(file.get())) {
        lastFailure_ = ErrorText("FlushFileBuffers " + win32::Utf8(temporary), GetLastError());
        ok = false;
    }
    ok = file.Close() && ok;
    // Write-through: the rename itself is on the disk when the call returns.
    if (ok && !MoveFileExW(temporary.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        lastFailure_ = ErrorText("MoveFileExW " + path, GetLastError());
        ok = false;
    }
    if (!ok) DeleteFileW(temporary.c_str());
    return ok;
}

bool Win32FileStore::AppendDurably(const std::string& path, std::string_view text) {
    lastFailure_.clear();
    // Appending data only, so every write goes to the end even if another
    // program appends too; the reparse-point flag opens a link itself, which
    // the kind check below then refuses instead of following it.
    FileHandle file(CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | FILE_WRITE_ATTRIBUTES |
                                                        FILE_READ_ATTRIBUTES | GENERIC_WRITE,
                                FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) {
        lastFailure_ = ErrorText("CreateFileW " + path, GetLastError());
        return false;
    }
    if (!IsPlainDiskFile(file.get())) {
        lastFailure_ = "CreateFileW " + path + ": not a plain file";
        return false;
    }
    LARGE_INTEGER before{};
    if (!SizeOf(file.get(), before)) {
        lastFailure_ = ErrorText("GetFileSizeEx " + path, GetLastError());
        return false;
    }
    LARGE_INTEGER end{};
    SetFilePointerEx(file.get(), LARGE_INTEGER{}, &end, FILE_END);
    // One write keeps the line whole.
    DWORD written = 0;
    bool ok = WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                        nullptr) != 0 &&
              written == text.size();
    if (!ok) lastFailure_ = ErrorText("WriteFile " + path, GetLastError());
    if (ok && !FlushFileBuffers(file.get())) {
        lastFailure_ = ErrorText("FlushFileBuffers " + path, GetLastError());
        ok = false;
    }
    if (!ok) RollBack(file.get(), before);
    return file.Close() && ok;
}

}  // namespace vm4417
