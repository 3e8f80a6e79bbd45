#include "PosixIo.h"

#include <poll.h>

#include <cerrno>
#include <system_error>
#include <thread>

namespace readersim {
namespace {

using Clock = std::chrono::steady_clock;

// Waits until `fd` accepts more bytes or `deadline` passes.
bool WaitWritable(int fd, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd entry{fd, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0) return (entry.revents & POLLOUT) != 0;
        if (ready < 0 && errno != EINTR) return false;
    }
}

}  // namespace

std::string ErrnoText(int error) { return std::generic_category().message(error); }

WriteOutcome WriteAll(int fd, std::string_view bytes, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && errno == EAGAIN) {
            if (WaitWritable(fd, deadline)) continue;
            return {"no room to write within the time-out (" + std::to_string(done) + " of " +
                        std::to_string(bytes.size()) + " bytes sent)",
                    Clock::now()};
        }
        return {"write: " + ErrnoText(written < 0 ? errno : EIO), Clock::now()};
    }
    return {{}, Clock::now()};
}

WriteOutcome WritePaced(int fd, std::string_view bytes, std::chrono::nanoseconds byteTime,
                        std::chrono::milliseconds timeout) {
    const auto start = Clock::now();
    WriteOutcome outcome{{}, start};
    for (std::size_t i = 0; i < bytes.size() && outcome.error.empty(); ++i) {
        // A byte is complete on the line only after its full frame time.
        std::this_thread::sleep_until(start + byteTime * static_cast<long>(i + 1));
        outcome = WriteAll(fd, bytes.substr(i, 1), timeout);
    }
    return outcome;
}

}  // namespace readersim
