#include "FolderLock.h"

#include "WideText.h"

namespace vm4417::win32 {

std::wstring FolderMutexName(const std::string& folderKey) {
    return L"Local\\vm4417-" + Wide(folderKey);
}

FolderLock::~FolderLock() {
    if (mutex_ != nullptr) CloseHandle(mutex_);
}

FolderLockOutcome FolderLock::Take(const WorkingFolder& folder) {
    const std::wstring name = FolderMutexName(folder.key);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD error = GetLastError();
    if (mutex == nullptr) {
        // A name that another user's object holds is refused, not shared.
        if (error == ERROR_ACCESS_DENIED) return FolderLockOutcome::HeldByAnother;
        detail_ = ErrorText("CreateMutexW " + Utf8(name), error);
        return FolderLockOutcome::Unavailable;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return FolderLockOutcome::HeldByAnother;
    }
    mutex_ = mutex;
    return FolderLockOutcome::Taken;
}

}  // namespace vm4417::win32
