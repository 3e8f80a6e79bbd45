#include "SwayFocus.h"

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace vm4417 {

namespace {

// i3's IPC framing, which sway speaks: the magic, the payload's length and
// the message type, both in the host's byte order, then the payload.
constexpr std::string_view kMagic = "i3-ipc";
constexpr std::uint32_t kGetSeats = 101;
constexpr std::size_t kHeaderSize = kMagic.size() + 2 * sizeof(std::uint32_t);
// An answer takes tens of microseconds; a desktop that is this slow tells
// nothing in time for the next key.
constexpr std::chrono::milliseconds kAnswerTimeout{200};
// The seats with their devices: a few kilobytes.
constexpr std::uint32_t kLongestAnswer = 1 << 20;

bool ReadAll(int fd, char* into, std::size_t size, posix::SteadyClock::time_point deadline) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::recv(fd, into + done, size - done, MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n == 0) {
            return false;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if ((posix::PollUntil(fd, POLLIN, deadline) & POLLIN) == 0) return false;
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

}  // namespace

SwayFocus::SwayFocus(std::string socketPath) : socketPath_(std::move(socketPath)) {}

SwayFocus SwayFocus::FromEnvironment() {
    const char* path = std::getenv("SWAYSOCK");
    if (path != nullptr && *path != '\0') return SwayFocus(path);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime != '/') return SwayFocus("");
    return SwayFocus(FindSwaySocket(runtime, ::getuid()));
}

bool IsSwaySocketName(std::string_view name, unsigned int uid) {
    const std::string prefix = "sway-ipc." + std::to_string(uid) + ".";
    constexpr std::string_view kSuffix = ".sock";
    if (name.size() <= prefix.size() + kSuffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(kSuffix)) {
        return false;
    }
    const std::string_view pid =
        name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
    return std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Another user's socket in a shared folder could answer for another desktop,
// and a socket that sway left behind when it ended takes no connection.
std::string FindSwaySocket(const std::string& folder, unsigned int uid) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return {};
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        if (IsSwaySocketName(entry->d_name, uid))
            candidates.push_back(folder + "/" + entry->d_name);
    }
    ::closedir(dir);
    std::sort(candidates.begin(), candidates.end());
    for (const std::string& path : candidates) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) || info.st_uid != uid) {
            continue;
        }
        SwayFocus probe(path);
        if (probe.Connect()) return path;
    }
    return {};
}

bool SwayFocus::Connect() {
    sockaddr_un address{};
    if (socketPath_.empty() || socketPath_.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath_.c_str(), socketPath_.size());
    posix::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.IsValid()) return false;
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return false;
    }
    socket_ = std::move(fd);
    return true;
}

std::optional<std::string> SwayFocus::Ask(std::uint32_t type) {
    if (!socket_.IsValid() && !Connect()) return std::nullopt;
    std::array<char, kHeaderSize> header{};
    std::memcpy(header.data(), kMagic.data(), kMagic.size());
    const std::uint32_t length = 0;
    std::memcpy(header.data() + kMagic.size(), &length, sizeof length);
    std::memcpy(header.data() + kMagic.size() + sizeof length, &type, sizeof type);
    const auto deadline = posix::SteadyClock::now() + kAnswerTimeout;
    if (!posix::WriteAll(socket_.Get(), std::string_view(header.data(), header.size()),
                         kAnswerTimeout)
             .error.empty() ||
        !ReadAll(socket_.Get(), header.data(), header.size(), deadline)) {
        // A connection that failed once is opened anew at the next question,
        // so that a late answer cannot be taken for the next one.
        socket_.Reset();
        return std::nullopt;
    }
    std::uint32_t answerLength = 0, answerType = 0;
    std::memcpy(&answerLength, header.data() + kMagic.size(), sizeof answerLength);
    std::memcpy(&answerType, header.data() + kMagic.size() + sizeof answerLength,
                sizeof answerType);
    if (std::string_view(header.data(), kMagic.size()) != kMagic || answerType != type ||
        answerLength > kLongestAnswer) {
        socket_.Reset();
        return std::nullopt;
    }
    std::string answer(answerLength, '\0');
    if (!ReadAll(socket_.Get(), answer.data(), answer.size(), deadline)) {
        socket_.Reset();
        return std::nullopt;
    }
    return answer;
}

std::optional<std::uint64_t> SwayFocus::Focus() {
    const auto seats = Ask(kGetSeats);
    if (!seats) return std::nullopt;
    return FirstSeatFocus(*seats);
}

// A seat's own keys come before its list of devices, and devices have no
// "focus", so the first one in the answer is the first seat's.
std::optional<std::uint64_t> FirstSeatFocus(const std::string& seatsJson) {
    constexpr std::string_view kKey = "\"focus\"";
    std::size_t at = seatsJson.find(kKey);
    if (at == std::string::npos) return std::nullopt;
    at = seatsJson.find_first_not_of(" \t\r\n", at + kKey.size());
    if (at == std::string::npos || seatsJson[at] != ':') return std::nullopt;
    at = seatsJson.find_first_not_of(" \t\r\n", at + 1);
    if (at == std::string::npos || seatsJson[at] < '0' || seatsJson[at] > '9') return std::nullopt;
    std::uint64_t id = 0;
    for (; at < seatsJson.size() && seatsJson[at] >= '0' && seatsJson[at] <= '9'; ++at) {
        const std::uint64_t digit = static_cast<std::uint64_t>(seatsJson[at] - '0');
        if (id > (UINT64_MAX - digit) / 10) return std::nullopt;
        id = id * 10 + digit;
    }
    return id;
}

}  // namespace vm4417
