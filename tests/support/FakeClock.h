#pragma once
// A clock whose pauses take no real time: they are recorded and advance the
// monotonic time. The local time is whatever the test sets.

#include <vector>

#include "Clock.h"

namespace vm4417::test {

class FakeClock final : public Clock {
public:
    TimePoint Now() override { return start_ + elapsed_; }
    void SleepFor(std::chrono::milliseconds duration) override {
        sleeps.push_back(duration);
        elapsed_ += duration;
    }
    LocalDateTime LocalNow() override { return local; }
    // Time passing outside the program, e.g. between timer ticks.
    void Advance(std::chrono::milliseconds duration) { elapsed_ += duration; }

    LocalDateTime local{2026, 12, 6, 9, 41, 5};
    std::vector<std::chrono::milliseconds> sleeps;

private:
    TimePoint start_{};
    std::chrono::milliseconds elapsed_{0};
};

}  // namespace vm4417::test
