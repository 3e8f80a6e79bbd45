#pragma once
// A throwaway directory for one test, removed with everything in it; and a
// guard that makes it the working directory for a while.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vm4417::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& path);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::string previous_;
};

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool Exists(const std::string& path);

// Runs `body` in a child process whose view of `directory` is a read-only
// mount (a private mount namespace, so nothing else sees it). The child's
// answer, or nothing when this machine does not allow mount namespaces.
std::optional<bool> RunWithReadOnlyDirectory(const std::string& directory,
                                             const std::function<bool()>& body);

// Runs `body` in a child process whose files may grow to `maxFileBytes` at
// most, so that a write fails halfway. The child's answer.
bool RunWithFileSizeLimit(std::size_t maxFileBytes, const std::function<bool()>& body);

// Runs `body` in a child process that has no privileges beyond an ordinary
// user's (as root it becomes the user "nobody"), so that permission bits
// count. The child's answer.
bool RunAsOrdinaryUser(const std::function<bool()>& body);

}  // namespace vm4417::test
