#pragma once
// Time as the program logic sees it: a monotonic clock for waits and
// time-outs, blocking pauses, and the local wall-clock date and time for
// capture stamps and log names.

#include <chrono>

namespace vm4417 {

struct LocalDateTime {
    int year = 0;
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59 (60 on a leap second)
};

class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~Clock() = default;

    // Monotonic time; never jumps with wall-clock changes.
    virtual TimePoint Now() = 0;
    // Blocks the calling thread for at least `duration` of monotonic time.
    virtual void SleepFor(std::chrono::milliseconds duration) = 0;
    // The current local date and time of day.
    virtual LocalDateTime LocalNow() = 0;
};

}  // namespace vm4417
