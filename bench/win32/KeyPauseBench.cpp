// The 30 ms pauses of the key sequence as SendInput sees them: captures
// typed into an edit window of this process, every event stamped when
// Windows accepted it; prints how far the pauses after which the sequence
// waits 30 ms deviate from 30 ms, and how long a whole capture takes from
// TypeCapture() to its last event, by key and by character side by side.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "ForwardingKeySink.h"
#include "KeyTyping.h"
#include "win32/ForegroundTarget.h"
#include "win32/SendInputKeySink.h"
#include "win32/Win32Clock.h"

namespace {

using Steady = std::chrono::steady_clock;

// The edit window is this program's own, which the sink refuses to type
// into (an Enter there would press one of the program's buttons); here it
// stands for another program's window.
vm4417::win32::TargetReading AnotherProgramsWindow(vm4417::win32::TargetParts parts) {
    vm4417::win32::TargetReading reading = vm4417::win32::ReadTarget(parts);
    if (reading.foregroundProcess != 0) reading.foregroundProcess = reading.ownProcess + 4;
    return reading;
}

class StampingSink final : public vm4417::ForwardingKeySink {
public:
    bool Send(const vm4417::KeyEvent& event) override {
        const bool sent = sink_.Send(event);
        stamps.push_back(Steady::now());
        return sent;
    }
    std::vector<Steady::time_point> stamps;

private:
    vm4417::KeySink& Inner() const override { return sink_; }

    mutable vm4417::SendInputKeySink sink_{vm4417::win32::ReadIntegrity, AnotherProgramsWindow};
};

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures {
    std::vector<double> deviations;
    std::vector<double> totals;
};

Figures Measure(bool exactCharacters) {
    constexpr int kCaptures = 7;
    vm4417::Win32Clock clock;
    Figures figures;
    for (int capture = 0; capture < kCaptures; ++capture) {
        StampingSink sink;
        vm4417::CaptureKeys keys{static_cast<std::uint32_t>(capture + 1), "09:41:05",
                                 "00000A1B2C3D", true, true};
        keys.exactCharacters = exactCharacters;
        const auto sequence = vm4417::BuildKeySequence(keys);
        const auto start = Steady::now();
        vm4417::TypeCapture(sink, clock, keys);
        if (!sink.stamps.empty()) {
            figures.totals.push_back(
                std::chrono::duration<double, std::milli>(sink.stamps.back() - start).count());
        }
        for (std::size_t i = 0; i + 1 < sequence->size() && i + 1 < sink.stamps.size(); ++i) {
            if ((*sequence)[i].pauseAfter != vm4417::kKeyDelay) continue;
            const double gap =
                std::chrono::duration<double, std::milli>(sink.stamps[i + 1] - sink.stamps[i])
                    .count();
            figures.deviations.push_back(gap - 30.0);
        }
        Pump();
    }
    return figures;
}

void Print(const char* way, std::vector<double> deviations, const std::vector<double>& totals) {
    if (deviations.empty() || totals.empty()) {
        std::printf("%s: no capture was typed\n", way);
        return;
    }
    std::sort(deviations.begin(), deviations.end());
    double sum = 0;
    for (double d : deviations) sum += d;
    std::printf(
        "%s: %zu pauses of 30 ms: deviation mean %+.2f ms, median %+.2f ms, min %+.2f ms, max "
        "%+.2f ms; whole capture (order, time, code, Enter) median %.2f ms\n",
        way, deviations.size(), sum / static_cast<double>(deviations.size()),
        deviations[deviations.size() / 2], deviations.front(), deviations.back(), Median(totals));
}

}  // namespace

int main() {
    HWND edit =
        CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE | ES_MULTILINE, 40, 40,
                        600, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(edit);
    SetFocus(edit);
    Pump();
    // Alternating, so that the machine's load falls on both alike.
    Figures byKey, byCharacter;
    for (int round = 0; round < 3; ++round) {
        for (const bool exact : {false, true}) {
            const Figures figures = Measure(exact);
            Figures& into = exact ? byCharacter : byKey;
            into.deviations.insert(into.deviations.end(), figures.deviations.begin(),
                                   figures.deviations.end());
            into.totals.insert(into.totals.end(), figures.totals.begin(), figures.totals.end());
        }
    }
    Print("by key", byKey.deviations, byKey.totals);
    Print("by character", byCharacter.deviations, byCharacter.totals);
    DestroyWindow(edit);
    return 0;
}
