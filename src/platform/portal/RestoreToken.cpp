#include "RestoreToken.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "posix/PosixIo.h"

namespace vm4417 {

namespace {

using posix::ErrnoStatus;
using posix::UniqueFd;

constexpr std::size_t kTokenLimit = 4096;  // tokens are UUIDs; anything longer is not one
constexpr std::chrono::seconds kWriteBound{10};

// Creates every missing folder above `path`, private to the user.
Status MakeParentFolders(const std::string& path) {
    for (auto slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return ErrnoStatus("mkdir", folder, errno);
        }
    }
    return Status::Success();
}

}  // namespace

std::optional<std::string> ReadRestoreToken(const std::string& path) {
    std::ifstream file(path);
    std::string token;
    if (!file || !std::getline(file, token) || token.size() > kTokenLimit) return std::nullopt;
    const auto first = token.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::nullopt;
    token = token.substr(first, token.find_last_not_of(" \t\r") - first + 1);
    return token;
}

Status WriteRestoreToken(const std::string& path, std::string_view token) {
    if (Status folders = MakeParentFolders(path); !folders.Ok()) return folders;
    const std::string temporary = path + ".tmp." + std::to_string(getpid());
    unlink(temporary.c_str());  // left by a run that died before its rename
    // Created with 0600 from the start: the token is never readable by others,
    // not even for a moment, whatever the umask.
    UniqueFd fd(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd.IsValid()) return ErrnoStatus("open", temporary, errno);
    std::string text(token);
    text += '\n';
    Status status;
    if (const auto outcome = posix::WriteAll(fd.Get(), text, kWriteBound); !outcome.error.empty()) {
        status = ErrnoStatus("write", temporary, outcome.errorNumber);
    } else if (fsync(fd.Get()) != 0) {
        status = ErrnoStatus("fsync", temporary, errno);
    } else if (close(fd.Release()) != 0) {
        status = ErrnoStatus("close", temporary, errno);
    } else if (rename(temporary.c_str(), path.c_str()) != 0) {
        status = ErrnoStatus("rename", path, errno);
    }
    if (!status.Ok()) unlink(temporary.c_str());
    return status;
}

}  // namespace vm4417
