#include "PosixIo.h"

#include <poll.h>

#include <cerrno>
#include <system_error>

namespace vm4417::posix {

namespace {

timespec ToTimespec(SteadyClock::duration d) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

Fault FaultOf(int error) {
    switch (error) {
        case ENOENT:
        case ENXIO: return Fault::Missing;
        case EACCES:
        case EPERM:
        case EROFS: return Fault::NoPermission;
        case EBUSY:
        case EWOULDBLOCK: return Fault::InUse;
        case ENODEV:
        case EIO: return Fault::Lost;
        case ELOOP:
        case ENOTTY:
        case EISDIR:
        case ENOTDIR: return Fault::WrongKind;
        default: return Fault::Failed;
    }
}

}  // namespace

std::string ErrnoText(int error) { return std::generic_category().message(error); }

Status ErrnoStatus(std::string_view call, std::string_view what, int error) {
    std::string detail(call);
    if (!what.empty()) {
        detail += ' ';
        detail += what;
    }
    detail += ": ";
    detail += ErrnoText(error);
    return Status::Failure(FaultOf(error), std::move(detail));
}

short PollUntil(int fd, short events, SteadyClock::time_point deadline) {
    for (;;) {
        const auto left = deadline - SteadyClock::now();
        if (left <= SteadyClock::duration::zero()) return 0;
        pollfd entry{fd, events, 0};
        const timespec timeout = ToTimespec(left);
        const int ready = ppoll(&entry, 1, &timeout, nullptr);
        if (ready > 0) return entry.revents;
        if (ready == 0) return 0;
        if (errno != EINTR) return POLLERR;
    }
}

WriteOutcome WriteAll(int fd, std::span<const std::uint8_t> bytes,
                      std::chrono::milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && errno == EAGAIN) {
            const short revents = PollUntil(fd, POLLOUT, deadline);
            if (revents & POLLOUT) continue;
            if (revents == 0) {
                return {"no room to write within the time-out (" + std::to_string(done) + " of " +
                            std::to_string(bytes.size()) + " bytes sent)",
                        EAGAIN, SteadyClock::now()};
            }
            return {"write: the device reported an error or hang-up", EIO, SteadyClock::now()};
        }
        const int error = written < 0 ? errno : EIO;
        return {"write: " + ErrnoText(error), error, SteadyClock::now()};
    }
    return {{}, 0, SteadyClock::now()};
}

}  // namespace vm4417::posix
