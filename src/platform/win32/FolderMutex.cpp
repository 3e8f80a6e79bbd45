#include "FolderMutex.h"

#include "WideText.h"

namespace vm4417::win32 {

std::wstring FolderMutexName(const std::string& folderKey) {
    return L"Local\\vm4417-" + Wide(folderKey);
}

FolderMutex::~FolderMutex() {
    if (mutex_ != nullptr) CloseHandle(mutex_);
}

FolderLock FolderMutex::Take(const std::string& folderKey) {
    const std::wstring name = FolderMutexName(folderKey);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD error = GetLastError();
    if (mutex == nullptr) {
        // A name that another user's object holds is refused, not shared.
        if (error == ERROR_ACCESS_DENIED) return FolderLock::HeldByAnother;
        detail_ = ErrorText("CreateMutexW " + Utf8(name), error);
        return FolderLock::Unavailable;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return FolderLock::HeldByAnother;
    }
    mutex_ = mutex;
    return FolderLock::Taken;
}

}  // namespace vm4417::win32
