#include "SystemClock.h"

#include <cerrno>
#include <ctime>

namespace vm4417 {

Clock::TimePoint SystemClock::Now() { return std::chrono::steady_clock::now(); }

void SystemClock::SleepFor(std::chrono::milliseconds duration) {
    // An absolute deadline on the monotonic clock keeps the pause exact even
    // when a signal interrupts the sleep.
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    const long long total = deadline.tv_nsec + duration.count() * 1000000LL;
    deadline.tv_sec += static_cast<time_t>(total / 1000000000LL);
    deadline.tv_nsec = static_cast<long>(total % 1000000000LL);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {}
}

LocalDateTime SystemClock::LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                         local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace vm4417
