// Timing of capture typing through XTest on a private Xvfb: the time one
// code-only capture takes, and how far each pause between two events strays
// from the intended one. Prints plain lines.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "KeyTyping.h"
#include "XvfbServer.h"
#include "posix/SystemClock.h"
#include "x11/XTestKeySink.h"

namespace {

using namespace vm4417;
using Ms = std::chrono::duration<double, std::milli>;

constexpr int kRuns = 50;
constexpr const char* kCode = "04A1B2C3D4E5";  // 12 characters

// Notes the steady-clock time at which each event is handed to the sink.
class TimestampingSink final : public KeySink {
public:
    explicit TimestampingSink(KeySink& inner) : inner_(inner) {}
    bool Begin() override { return inner_.Begin(); }
    bool Send(const KeyEvent& event) override {
        sent.push_back(std::chrono::steady_clock::now());
        return inner_.Send(event);
    }
    std::vector<std::chrono::steady_clock::time_point> sent;

private:
    KeySink& inner_;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main() {
    test::XvfbServer xvfb;
    if (!xvfb.Start()) {
        std::fprintf(stderr, "typing_bench: Xvfb: %s\n", xvfb.Error().c_str());
        return 1;
    }
    const CaptureKeys capture{1, "00:00:00", kCode, false, false};
    const auto steps = BuildKeySequence(capture);
    if (!steps) return 1;
    Ms designed{0};
    for (const KeyStep& step : *steps) designed += step.pauseAfter;

    XTestKeySink keys(xvfb.DisplayName());
    SystemClock clock;
    std::vector<double> totals;
    std::vector<double> deviations;
    // One run first so that connecting and loading the keyboard map stay out
    // of the figures.
    for (int run = -1; run < kRuns; ++run) {
        TimestampingSink sink(keys);
        const auto start = std::chrono::steady_clock::now();
        const bool typed = TypeCapture(sink, clock, capture).typed;
        const auto end = std::chrono::steady_clock::now();
        if (!typed || sink.sent.size() != steps->size()) {
            std::fprintf(stderr, "typing_bench: typing failed in run %d\n", run);
            return 1;
        }
        if (run < 0) continue;
        totals.push_back(Ms(end - start).count());
        for (std::size_t i = 0; i + 1 < steps->size(); ++i) {
            const auto pause = (*steps)[i].pauseAfter;
            if (pause.count() == 0) continue;
            const Ms between = sink.sent[i + 1] - sink.sent[i];
            deviations.push_back(std::abs((between - pause).count()));
        }
    }

    std::printf("typing_bench: %d runs, code of 12 characters, no order, no time, Xvfb %s\n", kRuns,
                xvfb.DisplayName().c_str());
    std::printf("events per run: %zu, pauses per run: %zu, pauses by design: %.0f ms\n",
                steps->size(), deviations.size() / kRuns, designed.count());
    std::printf("total per run: median %.3f ms, max %.3f ms\n", Median(totals),
                *std::max_element(totals.begin(), totals.end()));
    std::printf("pause deviation from %lld ms: max %.3f ms, median %.3f ms (%zu pauses)\n",
                static_cast<long long>(kKeyDelay.count()),
                *std::max_element(deviations.begin(), deviations.end()), Median(deviations),
                deviations.size());
    return 0;
}
