#include "TempDir.h"

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vm4417::test {

namespace {
constexpr int kNoNamespaceExit = 77;
constexpr uid_t kNobody = 65534;
}  // namespace

TempDir::TempDir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/vm4417-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

WorkingDirectory::WorkingDirectory(const std::string& path) {
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(path);
}

WorkingDirectory::~WorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadFileText(const std::string& path) {
    const auto bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

std::optional<bool> RunWithReadOnlyDirectory(const std::string& directory,
                                             const std::function<bool()>& body) {
    const pid_t child = fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        const bool isolated =
            unshare(CLONE_NEWNS) == 0 &&
            mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
            mount(directory.c_str(), directory.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
            mount(nullptr, directory.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) ==
                0;
        if (!isolated) _exit(kNoNamespaceExit);
        _exit(body() ? 1 : 0);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return std::nullopt;
    if (WEXITSTATUS(status) == kNoNamespaceExit) return std::nullopt;
    return WEXITSTATUS(status) == 1;
}

bool RunWithFileSizeLimit(std::size_t maxFileBytes, const std::function<bool()>& body) {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // Without SIGXFSZ ignored the child would die instead of seeing EFBIG.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{maxFileBytes, maxFileBytes};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
        _exit(body() ? 1 : 0);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

bool RunAsOrdinaryUser(const std::function<bool()>& body) {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
             setresuid(kNobody, kNobody, kNobody) != 0)) {
            _exit(2);
        }
        _exit(body() ? 1 : 0);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

}  // namespace vm4417::test
