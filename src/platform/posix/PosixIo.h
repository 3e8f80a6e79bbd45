#pragma once
// POSIX helpers shared by the Linux backends, the reader simulator and the
// tests: an owning file descriptor, a bounded wait for a descriptor, writes
// that finish, and errno turned into a Status.

#include <unistd.h>

#include <chrono>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "Status.h"

namespace vm4417::posix {

using SteadyClock = std::chrono::steady_clock;

// Owns a file descriptor and closes it exactly once. close() is not retried
// after EINTR because Linux releases the descriptor even then.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.fd_, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const noexcept { return fd_; }
    bool IsValid() const noexcept { return fd_ >= 0; }
    // Closes the current descriptor (if any) and takes ownership of `fd`.
    void Reset(int fd = -1) noexcept {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Gives up ownership without closing.
    int Release() noexcept { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

// The text for an errno value, safe to call from any thread.
std::string ErrnoText(int error);
// A failed call as a Status: the fault that `error` stands for, and
// "<call> <what>: <system text>" as its detail.
Status ErrnoStatus(std::string_view call, std::string_view what, int error);

// Waits for `events` on `fd` until `deadline`, retrying on EINTR: the
// revents, 0 on time-out, or POLLERR when poll itself failed.
short PollUntil(int fd, short events, SteadyClock::time_point deadline);

struct WriteOutcome {
    std::string error;    // empty when every byte was handed to the kernel
    int errorNumber = 0;  // the errno behind `error`: EAGAIN for a time-out, EIO for a hang-up
    SteadyClock::time_point lastByteAt;  // when the write ended
};

// Hands every byte to the kernel, retrying on EINTR and waiting for room
// while a non-blocking descriptor's buffer is full, but for no longer than
// `timeout` in total.
WriteOutcome WriteAll(int fd, std::span<const std::uint8_t> bytes,
                      std::chrono::milliseconds timeout);
inline WriteOutcome WriteAll(int fd, std::string_view bytes, std::chrono::milliseconds timeout) {
    return WriteAll(
        fd, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), timeout);
}

}  // namespace vm4417::posix
