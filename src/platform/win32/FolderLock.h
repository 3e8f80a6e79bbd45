#pragma once
// One program per working folder, the Windows lock: a named mutex
// Local\vm4417-<folder key> in the session. Windows destroys it with the
// last handle, so a program that was ended by force leaves nothing behind.

#include <windows.h>

#include <string>

#include "StartSequence.h"

namespace vm4417::win32 {

std::wstring FolderMutexName(const std::string& folderKey);

class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Tries to lock the folder without waiting. Taken: held until this
    // object goes. Unavailable: Detail() says why.
    FolderLockOutcome Take(const WorkingFolder& folder);
    const std::string& Detail() const { return detail_; }

private:
    HANDLE mutex_ = nullptr;
    std::string detail_;
};

}  // namespace vm4417::win32
