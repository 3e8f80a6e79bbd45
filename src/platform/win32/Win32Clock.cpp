#include "Win32Clock.h"

#include <windows.h>
#include <timeapi.h>

namespace vm4417 {

// Sleep and the window timers follow the system tick, 15.6 ms by default;
// 1 ms keeps the 30 ms key pauses and the 333 ms poll interval close.
Win32Clock::Win32Clock() { timeBeginPeriod(1); }
Win32Clock::~Win32Clock() { timeEndPeriod(1); }

Clock::TimePoint Win32Clock::Now() { return std::chrono::steady_clock::now(); }

void Win32Clock::SleepFor(std::chrono::milliseconds duration) {
    // Sleep may wake a little early relative to the steady clock; wait out
    // the rest so that a pause is never shorter than asked.
    const auto until = Now() + duration;
    for (auto left = duration; left.count() > 0;
         left = std::chrono::ceil<std::chrono::milliseconds>(until - Now())) {
        Sleep(static_cast<DWORD>(left.count()));
    }
}

LocalDateTime Win32Clock::LocalNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return LocalDateTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace vm4417
