#include "PosixFileStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>

namespace vm4417 {

namespace {

constexpr mode_t kFileMode = 0666;  // narrowed by the umask, as for any new file

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Makes a new or renamed directory entry durable. File systems that cannot
// sync a directory say EINVAL; their entries need no such step.
bool SyncDirectory(const std::string& directory) {
    const int fd = OpenRetrying(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0 || errno == EINVAL;
    close(fd);
    return synced;
}

// A name beside `path` that no other save (of this or another process) uses.
std::string TemporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> sequence{0};
    return path + ".tmp." + std::to_string(getpid()) + "." + std::to_string(sequence++);
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
    const int fd = OpenRetrying(path.c_str(), O_RDONLY);
    if (fd < 0) return result;
    result.opened = true;
    result.bytes.resize(maxBytes);
    std::size_t got = 0;
    bool readOk = true;
    while (got < maxBytes) {
        const ssize_t n = read(fd, result.bytes.data() + got, maxBytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) readOk = false;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    result.bytes.resize(got);
    const bool closed = close(fd) == 0;
    result.complete = readOk && closed;
    return result;
}

bool PosixFileStore::ReplaceDurably(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::string temporary = TemporaryNameFor(path);
    const int fd = OpenRetrying(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, kFileMode);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!written || !closed || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return SyncDirectory(DirectoryOf(path));
}

bool PosixFileStore::AppendDurably(const std::string& path, std::string_view text) {
    // Knowing whether the file is new tells whether its directory entry needs
    // a sync as well.
    bool created = true;
    int fd = OpenRetrying(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL, kFileMode);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = OpenRetrying(path.c_str(), O_WRONLY | O_APPEND);
    }
    if (fd < 0) return false;
    // One write keeps a line whole; a short write is reported, and what it
    // wrote stays in the file.
    ssize_t n;
    do {
        n = write(fd, text.data(), text.size());
    } while (n < 0 && errno == EINTR);
    const bool written = n == static_cast<ssize_t>(text.size()) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!written || !closed) return false;
    return !created || SyncDirectory(DirectoryOf(path));
}

}  // namespace vm4417
