#pragma once
// Time on Windows: the steady clock (QueryPerformanceCounter underneath),
// Sleep for pauses and the local time of day from GetLocalTime.

#include "Clock.h"

namespace vm4417 {

class Win32Clock final : public Clock {
public:
    Win32Clock();
    ~Win32Clock() override;
    TimePoint Now() override;
    void SleepFor(std::chrono::milliseconds duration) override;
    LocalDateTime LocalNow() override;
};

}  // namespace vm4417
