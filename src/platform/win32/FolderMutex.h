#pragma once
// One program per working folder, the Windows lock: a named mutex
// Local\vm4417-<folder key> in the session. Windows destroys it with the
// last handle, so a program that was ended by force leaves nothing behind.

#include <windows.h>

#include <string>

#include "FolderInstance.h"

namespace vm4417::win32 {

std::wstring FolderMutexName(const std::string& folderKey);

class FolderMutex {
public:
    FolderMutex() = default;
    ~FolderMutex();
    FolderMutex(const FolderMutex&) = delete;
    FolderMutex& operator=(const FolderMutex&) = delete;

    // Taken: held until this object goes. Unavailable: Detail() says why.
    FolderLock Take(const std::string& folderKey);
    const std::string& Detail() const { return detail_; }

private:
    HANDLE mutex_ = nullptr;
    std::string detail_;
};

}  // namespace vm4417::win32
