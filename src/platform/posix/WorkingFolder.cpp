#include "WorkingFolder.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "Global.h"
#include "PosixIo.h"

namespace vm4417 {

namespace {

// The new folder's mode leaves the rest to the umask, as mkdir(1) does.
constexpr mode_t kFolderMode = 0777;

Status MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), kFolderMode) != 0 && errno != EEXIST) {
            return posix::ErrnoStatus("mkdir", part, errno);
        }
        if (slash == std::string::npos) return Status::Success();
    }
}

}  // namespace

Status EnterFolder(const std::string& folder) {
    if (const Status made = MakeFolders(folder); !made.Ok()) return made;
    if (chdir(folder.c_str()) != 0) return posix::ErrnoStatus("chdir", folder, errno);
    return Status::Success();
}

Status EnterExistingFolder(const std::string& folder) {
    if (chdir(folder.c_str()) != 0) return posix::ErrnoStatus("chdir", folder, errno);
    return Status::Success();
}

std::optional<std::string> CurrentFolder() {
    std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    if (!cwd) return std::nullopt;
    return std::string(cwd.get());
}

// getcwd names the folder by its real path, links resolved.
WorkingFolder CurrentWorkingFolder() {
    const std::string path = CurrentFolder().value_or(".");
    return {path, FolderKey(path)};
}

std::optional<std::string> OwnProgramPath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return std::nullopt;
    return std::string(path, static_cast<std::size_t>(length));
}

std::string SettingsPresetPath() { return "/etc/vm4417/" + std::string(kSettingsFileName); }

}  // namespace vm4417
