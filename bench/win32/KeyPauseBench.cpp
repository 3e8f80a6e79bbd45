// The 30 ms pauses of the key sequence as SendInput sees them: five
// captures typed into an edit window of this process, every event stamped
// when Windows accepted it; prints how far the pauses after which the
// sequence waits 30 ms deviate from 30 ms.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "KeyTyping.h"
#include "win32/SendInputKeySink.h"
#include "win32/Win32Clock.h"

namespace {

using Steady = std::chrono::steady_clock;

class StampingSink final : public vm4417::KeySink {
public:
    bool Begin() override { return sink_.Begin(); }
    bool Send(const vm4417::KeyEvent& event) override {
        const bool sent = sink_.Send(event);
        stamps.push_back(Steady::now());
        return sent;
    }
    std::vector<Steady::time_point> stamps;

private:
    vm4417::SendInputKeySink sink_;
};

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

int main() {
    HWND edit =
        CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE | ES_MULTILINE, 40, 40,
                        600, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(edit);
    SetFocus(edit);
    Pump();
    vm4417::Win32Clock clock;
    std::vector<double> deviations;
    for (int capture = 0; capture < 5; ++capture) {
        StampingSink sink;
        const vm4417::CaptureKeys keys{static_cast<std::uint32_t>(capture + 1), "09:41:05",
                                       "00000A1B2C3D", true, true};
        const auto sequence = vm4417::BuildKeySequence(keys);
        vm4417::TypeCapture(sink, clock, keys);
        for (std::size_t i = 0; i + 1 < sequence->size() && i + 1 < sink.stamps.size(); ++i) {
            if ((*sequence)[i].pauseAfter != vm4417::kKeyDelay) continue;
            const double gap =
                std::chrono::duration<double, std::milli>(sink.stamps[i + 1] - sink.stamps[i])
                    .count();
            deviations.push_back(gap - 30.0);
        }
        Pump();
    }
    std::sort(deviations.begin(), deviations.end());
    double sum = 0;
    for (double d : deviations) sum += d;
    std::printf(
        "%zu pauses of 30 ms: deviation mean %+.2f ms, median %+.2f ms, min %+.2f ms, max %+.2f "
        "ms\n",
        deviations.size(), sum / static_cast<double>(deviations.size()),
        deviations[deviations.size() / 2], deviations.front(), deviations.back());
    DestroyWindow(edit);
    return 0;
}
