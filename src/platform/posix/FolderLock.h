#pragma once
// One program per working folder, the Linux lock: flock on the folder
// itself. The kernel releases it when the holder ends, however it ends, and
// nothing is left in the folder.

#include <string>

#include "FolderInstance.h"
#include "PosixIo.h"

namespace vm4417 {

class FolderLockHolder {
public:
    // Tries to lock `folder` without waiting. Taken: held until this object
    // goes (or the process ends). Unavailable: detail() says why.
    FolderLock Take(const std::string& folder);
    const std::string& Detail() const { return detail_; }

private:
    posix::UniqueFd fd_;
    std::string detail_;
};

}  // namespace vm4417
