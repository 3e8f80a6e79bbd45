#pragma once
// Small POSIX helpers shared by the simulator and its tests: an owning file
// descriptor and writes that finish, wait for room, and stay bounded in time.

#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>
#include <utility>

namespace readersim {

// Outcome of an operation that can fail; `error` says why it did.
struct Result {
    std::string error;
    bool ok() const { return error.empty(); }
};

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

private:
    int fd_ = -1;
};

struct WriteOutcome {
    std::string error;  // empty when every byte was handed to the kernel
    std::chrono::steady_clock::time_point lastByteAt;  // when the write ended
};

// The text for an errno value, safe to call from any thread.
std::string ErrnoText(int error);

// Hands every byte to the kernel, waiting for room while its buffer is full,
// but for no longer than `timeout` in total. Works on blocking and
// non-blocking descriptors.
WriteOutcome WriteAll(int fd, std::string_view bytes, std::chrono::milliseconds timeout);

// Like WriteAll, but one byte per `byteTime`, each at an absolute deadline
// from the start so that delays do not accumulate: this is how a serial line
// at a fixed baud rate delivers bytes. `timeout` bounds each byte's wait for
// buffer room.
WriteOutcome WritePaced(int fd, std::string_view bytes, std::chrono::nanoseconds byteTime,
                        std::chrono::milliseconds timeout);

}  // namespace readersim
