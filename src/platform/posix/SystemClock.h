#pragma once

#include "Clock.h"

namespace vm4417 {

// The machine's clocks: CLOCK_MONOTONIC for time-outs and pauses, the local
// time zone for capture stamps.
class SystemClock final : public Clock {
public:
    TimePoint Now() override;
    void SleepFor(std::chrono::milliseconds duration) override;
    LocalDateTime LocalNow() override;
};

}  // namespace vm4417
