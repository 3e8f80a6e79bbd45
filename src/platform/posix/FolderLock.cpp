#include "FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace vm4417 {

FolderLockOutcome FolderLock::Take(const WorkingFolder& working) {
    const std::string& folder = working.path;
    // O_CLOEXEC: programs this one starts must not hold the folder after it.
    posix::UniqueFd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.IsValid()) {
        detail_ = posix::ErrnoStatus("open", folder, errno).detail;
        return FolderLockOutcome::Unavailable;
    }
    int result;
    do {
        result = flock(fd.Get(), LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        if (errno == EWOULDBLOCK) return FolderLockOutcome::HeldByAnother;
        detail_ = posix::ErrnoStatus("flock", folder, errno).detail;
        return FolderLockOutcome::Unavailable;
    }
    fd_ = std::move(fd);
    return FolderLockOutcome::Taken;
}

}  // namespace vm4417
