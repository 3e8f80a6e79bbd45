#pragma once
// One program per working folder, the Linux lock: flock on the folder
// itself. The kernel releases it when the holder ends, however it ends, and
// nothing is left in the folder.

#include <string>

#include "PosixIo.h"
#include "StartSequence.h"

namespace vm4417 {

class FolderLock {
public:
    // Tries to lock the folder without waiting. Taken: held until this
    // object goes (or the process ends). Unavailable: Detail() says why.
    FolderLockOutcome Take(const WorkingFolder& folder);
    const std::string& Detail() const { return detail_; }

private:
    posix::UniqueFd fd_;
    std::string detail_;
};

}  // namespace vm4417
