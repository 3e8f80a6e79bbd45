#include "StartAtLoginFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "DesktopEntry.h"
#include "PosixFileStore.h"
#include "PosixIo.h"
#include "Texts.h"
#include "WorkingFolder.h"

namespace vm4417 {

namespace {

constexpr std::size_t kLongestEntry = 64 * 1024;
constexpr mode_t kFolderMode = 0700;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t colon; (colon = list.find(':', start)) != std::string::npos;
         start = colon + 1) {
        if (colon > start) parts.push_back(list.substr(start, colon - start));
    }
    if (start < list.size()) parts.push_back(list.substr(start));
    return parts;
}

bool Executable(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The folders of the user's autostart folder, as mkdir -p makes them.
Status MakeFolder(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), kFolderMode) != 0 && errno != EEXIST) {
            return posix::ErrnoStatus("mkdir", part, errno);
        }
        if (slash == std::string::npos) return Status::Success();
    }
}

}  // namespace

StartAtLoginPlaces StartAtLoginPlaces::FromEnvironment() {
    StartAtLoginPlaces places;
    std::string config = Environment("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') config = Environment("HOME") + "/.config";
    places.userFolder = config + "/autostart";
    std::vector<std::string> dirs = Split(Environment("XDG_CONFIG_DIRS"));
    if (dirs.empty()) dirs.push_back("/etc/xdg");
    for (const std::string& dir : dirs) places.machineFolders.push_back(dir + "/autostart");
    places.searchPath = Environment("PATH");
    return places;
}

StartAtLoginFiles StartAtLoginFiles::FromEnvironment() {
    return StartAtLoginFiles(StartAtLoginPlaces::FromEnvironment(),
                             OwnProgramPath().value_or("/usr/bin/vm4417"));
}

std::string StartAtLoginFiles::UserEntryPath() const {
    return places_.userFolder + "/" + std::string(kStartAtLoginFileName);
}

bool StartAtLoginFiles::ProgramFound(const std::string& tryExec) const {
    if (tryExec.empty()) return true;
    if (tryExec.find('/') != std::string::npos) return Executable(tryExec);
    for (const std::string& dir : Split(places_.searchPath)) {
        if (Executable(dir + "/" + tryExec)) return true;
    }
    return false;
}

Status StartAtLoginFiles::ReadEntry(const std::string& path, StartAtLoginEntry& entry) const {
    PosixFileStore files;
    const FileReadResult read = files.ReadPrefix(path, kLongestEntry);
    entry = {};
    if (read.opening.fault == Fault::Missing) return Status::Success();
    if (!read.Opened()) return read.opening;
    if (!read.complete) return Status::Failure(Fault::Failed, "read " + path);
    const DesktopEntryReading reading =
        ReadDesktopEntry(std::string(read.bytes.begin(), read.bytes.end()));
    entry.present = true;
    entry.enabled = !reading.hidden;
    entry.programFound = ProgramFound(reading.tryExec);
    entry.command = reading.exec;
    entry.folder = reading.folder;
    return Status::Success();
}

Status StartAtLoginFiles::Read(StartAtLoginEntry& user, StartAtLoginEntry& machine) {
    if (Status status = ReadEntry(UserEntryPath(), user); !status.Ok()) return status;
    machine = {};
    for (const std::string& folder : places_.machineFolders) {
        const std::string path = folder + "/" + std::string(kStartAtLoginFileName);
        if (Status status = ReadEntry(path, machine); !status.Ok()) return status;
        if (machine.present) break;
    }
    return Status::Success();
}

Status StartAtLoginFiles::Apply(StartAtLoginStep step, const std::string& folder) {
    const std::string path = UserEntryPath();
    if (step == StartAtLoginStep::RemoveEntry) {
        if (unlink(path.c_str()) != 0 && errno != ENOENT) {
            return posix::ErrnoStatus("unlink", path, errno);
        }
        return Status::Success();
    }
    const auto character = CharacterNotCarried(program_);
    if (step == StartAtLoginStep::WriteEntry && character) {
        return Status::Failure(Fault::WrongKind,
                               std::string(text::kStartAtLoginProgramPath) + *character +
                                   std::string(text::kStartAtLoginNotCarried) + program_);
    }
    const bool hidden = step == StartAtLoginStep::WriteHiddenEntry;
    const auto text = DesktopEntryText(
        {LoginCommand(program_, folder, FolderPlace::BesideCommand), hidden ? "" : folder, hidden});
    if (!text) return Status::Failure(Fault::WrongKind, folder + ": a line break in the path");
    if (Status made = MakeFolder(places_.userFolder); !made.Ok()) return made;
    PosixFileStore files;
    return files.ReplaceDurably(
        path, std::span(reinterpret_cast<const std::uint8_t*>(text->data()), text->size()));
}

}  // namespace vm4417
