// Timing of capture typing through XTest on a private Xvfb (Czech layout):
// the time one code-only capture takes, how far each pause between two
// events strays from the intended one, how long Begin() takes and what the
// look at the operator's keyboard adds before the first key, by key and by
// character. Prints plain lines.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ForwardingKeySink.h"
#include "KeyTyping.h"
#include "XvfbServer.h"
#include "posix/SystemClock.h"
#include "x11/XTestKeySink.h"

namespace {

using namespace vm4417;
using Ms = std::chrono::duration<double, std::milli>;

constexpr int kRuns = 50;
constexpr const char* kCode = "04A1B2C3D4E5";  // 12 characters

using Steady = std::chrono::steady_clock;

// Notes the steady-clock time at which Begin() is called and returns and
// each event is handed to the sink; everything else goes through as it is.
class TimestampingSink final : public ForwardingKeySink {
public:
    explicit TimestampingSink(KeySink& inner) : inner_(inner) {}
    bool Begin() override {
        beginCalled = Steady::now();
        const bool begun = inner_.Begin();
        beginReturned = Steady::now();
        return begun;
    }
    bool Send(const KeyEvent& event) override {
        sent.push_back(Steady::now());
        return inner_.Send(event);
    }

    Steady::time_point beginCalled, beginReturned;
    std::vector<Steady::time_point> sent;

private:
    KeySink& Inner() const override { return inner_; }

    KeySink& inner_;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Figures {
    std::vector<double> totals, deviations, begins, checks;
};

// kRuns captures, after one that connects and loads the map.
bool Measure(KeySink& keys, CaptureKeys capture, const std::vector<KeyStep>& steps,
             Figures& figures) {
    SystemClock clock;
    for (int run = -1; run < kRuns; ++run) {
        TimestampingSink sink(keys);
        const auto start = Steady::now();
        const bool typed = TypeCapture(sink, clock, capture).typed;
        const auto end = Steady::now();
        if (!typed || sink.sent.size() != steps.size()) {
            std::fprintf(stderr, "typing_bench: typing failed in run %d\n", run);
            return false;
        }
        if (run < 0) continue;
        figures.totals.push_back(Ms(end - start).count());
        figures.begins.push_back(Ms(sink.beginReturned - sink.beginCalled).count());
        figures.checks.push_back(Ms(sink.sent.front() - sink.beginReturned).count());
        for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
            const auto pause = steps[i].pauseAfter;
            if (pause.count() == 0) continue;
            const Ms between = sink.sent[i + 1] - sink.sent[i];
            figures.deviations.push_back(std::abs((between - pause).count()));
        }
    }
    return true;
}

void Print(const char* way, const Figures& f) {
    std::printf("%s: total per run median %.3f ms, max %.3f ms\n", way, Median(f.totals),
                *std::max_element(f.totals.begin(), f.totals.end()));
    std::printf(
        "%s: Begin() median %.3f ms; Begin() to the first key (the operator's keyboard "
        "looked at) median %.3f ms, max %.3f ms\n",
        way, Median(f.begins), Median(f.checks),
        *std::max_element(f.checks.begin(), f.checks.end()));
    std::printf("%s: pause deviation from %lld ms: max %.3f ms, median %.3f ms (%zu pauses)\n", way,
                static_cast<long long>(kKeyDelay.count()),
                *std::max_element(f.deviations.begin(), f.deviations.end()), Median(f.deviations),
                f.deviations.size());
}

}  // namespace

int main() {
    test::XvfbServer xvfb;
    if (!xvfb.Start()) {
        std::fprintf(stderr, "typing_bench: Xvfb: %s\n", xvfb.Error().c_str());
        return 1;
    }
    const std::string layout = "setxkbmap -display " + xvfb.DisplayName() + " cz";
    if (std::system(layout.c_str()) != 0) return 1;
    CaptureKeys capture{1, "00:00:00", kCode, false, false};
    const auto steps = BuildKeySequence(capture);
    if (!steps) return 1;
    Ms designed{0};
    for (const KeyStep& step : *steps) designed += step.pauseAfter;

    XTestKeySink keys(xvfb.DisplayName());
    Figures byKey, byCharacter;
    if (!Measure(keys, capture, *steps, byKey)) return 1;
    capture.exactCharacters = true;
    if (!Measure(keys, capture, *steps, byCharacter)) return 1;

    std::printf(
        "typing_bench: %d runs each, code of 12 characters, no order, no time, Xvfb %s, "
        "Czech layout\n",
        kRuns, xvfb.DisplayName().c_str());
    std::printf("events per run: %zu, pauses by design: %.0f ms\n", steps->size(),
                designed.count());
    Print("by key", byKey);
    Print("by character", byCharacter);
    return 0;
}
