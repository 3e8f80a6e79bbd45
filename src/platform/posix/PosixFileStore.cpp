#include "PosixFileStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "PosixIo.h"

namespace vm4417 {

namespace {

using posix::ErrnoStatus;
using posix::UniqueFd;

constexpr mode_t kFileMode = 0666;  // narrowed by the umask, as for any new file
// Regular files never make a write wait; the bound only guards against the
// impossible.
constexpr std::chrono::seconds kFileWriteBound{10};

UniqueFd OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return UniqueFd(fd);
}

// Opening with O_NONBLOCK keeps a FIFO or a device by this name from making
// open() wait; the check then refuses anything that is not a plain file.
Status CheckRegularFile(int fd, const std::string& path) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return ErrnoStatus("fstat", path, errno);
    if (!S_ISREG(st.st_mode))
        return Status::Failure(Fault::WrongKind, path + ": not a regular file");
    return Status::Success();
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Makes a new or renamed directory entry durable. File systems that cannot
// sync a directory say EINVAL; their entries need no such step.
Status SyncDirectory(const std::string& directory) {
    const UniqueFd fd = OpenRetrying(directory, O_RDONLY | O_DIRECTORY);
    if (!fd.IsValid()) return ErrnoStatus("open", directory, errno);
    if (fsync(fd.Get()) != 0 && errno != EINVAL) return ErrnoStatus("fsync", directory, errno);
    return Status::Success();
}

// A name beside `path` that no other save (of this or another process) uses.
std::string TemporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> sequence{0};
    return path + ".tmp." + std::to_string(getpid()) + "." + std::to_string(sequence++);
}

Status CloseChecked(UniqueFd& fd, const std::string& path) {
    if (close(fd.Release()) != 0) return ErrnoStatus("close", path, errno);
    return Status::Success();
}

}  // namespace

std::optional<std::string> PosixFileStore::PathInWorkingDirectory(std::string_view name) {
    std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    if (!cwd) return std::nullopt;
    std::string path(cwd.get());
    path += '/';
    path += name;
    return path;
}

FileReadResult PosixFileStore::ReadPrefix(const std::string& path, std::size_t maxBytes) {
    FileReadResult result;
    UniqueFd fd = OpenRetrying(path, O_RDONLY | O_NONBLOCK);
    if (!fd.IsValid()) {
        result.opening = ErrnoStatus("open", path, errno);
        return result;
    }
    result.opening = CheckRegularFile(fd.Get(), path);
    if (!result.Opened()) return result;
    result.bytes.resize(maxBytes);
    std::size_t got = 0;
    bool readOk = true;
    while (got < maxBytes) {
        const ssize_t n = read(fd.Get(), result.bytes.data() + got, maxBytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) readOk = false;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    result.bytes.resize(got);
    const bool closed = CloseChecked(fd, path).Ok();
    result.complete = readOk && closed;
    return result;
}

Status PosixFileStore::ReplaceDurably(const std::string& path,
                                      std::span<const std::uint8_t> bytes) {
    const std::string temporary = TemporaryNameFor(path);
    UniqueFd fd = OpenRetrying(temporary, O_WRONLY | O_CREAT | O_EXCL, kFileMode);
    if (!fd.IsValid()) return ErrnoStatus("open", temporary, errno);
    Status status;
    if (const auto outcome = posix::WriteAll(fd.Get(), bytes, kFileWriteBound);
        !outcome.error.empty()) {
        status = ErrnoStatus("write", temporary, outcome.errorNumber);
    } else if (fsync(fd.Get()) != 0) {
        status = ErrnoStatus("fsync", temporary, errno);
    }
    const Status closed = CloseChecked(fd, temporary);
    if (status.Ok()) status = closed;
    if (status.Ok() && rename(temporary.c_str(), path.c_str()) != 0) {
        status = ErrnoStatus("rename", path, errno);
    }
    if (!status.Ok()) {
        unlink(temporary.c_str());
        return status;
    }
    return SyncDirectory(DirectoryOf(path));
}

Status PosixFileStore::AppendDurably(const std::string& path, std::string_view text) {
    // O_NOFOLLOW refuses a planted link; O_NONBLOCK keeps a FIFO from making
    // open() wait. Knowing whether the file is new tells whether its
    // directory entry needs a sync as well.
    constexpr int kFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK;
    bool created = true;
    UniqueFd fd = OpenRetrying(path, kFlags | O_CREAT | O_EXCL, kFileMode);
    if (!fd.IsValid() && errno == EEXIST) {
        created = false;
        fd = OpenRetrying(path, kFlags);
    }
    if (!fd.IsValid()) return ErrnoStatus("open", path, errno);
    if (Status regular = CheckRegularFile(fd.Get(), path); !regular.Ok()) return regular;
    struct stat before {};
    if (fstat(fd.Get(), &before) != 0) return ErrnoStatus("fstat", path, errno);

    // One write keeps a line whole. A short or failed write is taken back,
    // so that the log never holds half a line the next capture would be
    // glued onto.
    ssize_t n;
    do {
        n = write(fd.Get(), text.data(), text.size());
    } while (n < 0 && errno == EINTR);
    Status status;
    if (n != static_cast<ssize_t>(text.size())) {
        status = ErrnoStatus("write", path, n < 0 ? errno : ENOSPC);
    } else if (fsync(fd.Get()) != 0) {
        status = ErrnoStatus("fsync", path, errno);
    }
    if (!status.Ok() && n > 0 && ftruncate(fd.Get(), before.st_size) == 0) fsync(fd.Get());
    const Status closed = CloseChecked(fd, path);
    // A log that did not exist before the call does not exist after it.
    if (!status.Ok() && created) unlink(path.c_str());
    if (!status.Ok()) return status;
    if (!closed.Ok()) return closed;
    return created ? SyncDirectory(DirectoryOf(path)) : Status::Success();
}

}  // namespace vm4417
