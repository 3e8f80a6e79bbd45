// Timing of capture typing through XTest on a private Xvfb (Czech layout),
// into a window of its own that has the focus: the time one capture takes,
// how far each pause between two events strays from the intended one, how
// long Begin() takes and what the look at the operator's keyboard adds
// before the first key, by key and by character; and what the looks at where
// the keys go (Target()) take with nothing amiss: before the first key, per
// key, and in all per capture, for a code alone and with order and time;
// what holding the operator's keyboards back costs a capture with nobody
// typing, and, with the operator typing during each capture on a keyboard
// of their own, how long after the capture's Enter the held keys arrive.
// Prints plain lines.

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

// After the program's headers: Xlib defines macros (None, Status) that
// clash with their names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

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
    KeyTarget Target() override {
        const auto asked = Steady::now();
        const KeyTarget target = inner_.Target();
        (sent.empty() ? targetsBefore : targetsPerKey).push_back(Ms(Steady::now() - asked).count());
        return target;
    }
    OperatorKeys HoldOperatorKeys() override {
        const auto asked = Steady::now();
        const OperatorKeys keys = inner_.HoldOperatorKeys();
        hold = Ms(Steady::now() - asked).count();
        return keys;
    }
    OperatorKeysOutcome ReleaseOperatorKeys(bool deliver) override {
        const auto asked = Steady::now();
        const OperatorKeysOutcome outcome = inner_.ReleaseOperatorKeys(deliver);
        release = Ms(Steady::now() - asked).count();
        return outcome;
    }

    Steady::time_point beginCalled, beginReturned;
    std::vector<Steady::time_point> sent;
    // How long each look at where the keys go took, in ms: those before the
    // first key, and those before each later key-down.
    std::vector<double> targetsBefore, targetsPerKey;
    // How long holding the operator's keys back took, and letting go.
    double hold = 0, release = 0;

private:
    KeySink& Inner() const override { return inner_; }

    KeySink& inner_;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

struct Figures {
    std::vector<double> totals, deviations, begins, checks;
    // The looks at where the keys go: before the first key and per capture
    // (sums), and each one before a later key-down.
    std::vector<double> targetsBefore, targetsPerCapture, targetsPerKey;
    std::vector<double> holds, releases;
};

double Sum(const std::vector<double>& values) {
    double sum = 0;
    for (const double v : values) sum += v;
    return sum;
}

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
        figures.targetsBefore.push_back(Sum(sink.targetsBefore));
        figures.targetsPerCapture.push_back(Sum(sink.targetsBefore) + Sum(sink.targetsPerKey));
        figures.targetsPerKey.insert(figures.targetsPerKey.end(), sink.targetsPerKey.begin(),
                                     sink.targetsPerKey.end());
        figures.holds.push_back(sink.hold);
        figures.releases.push_back(sink.release);
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
    std::printf(
        "%s: where the keys go: before the first key median %.3f ms (max %.3f); per key median "
        "%.3f ms (99th %.3f, %zu looks); per capture median %.3f ms (max %.3f)\n",
        way, Median(f.targetsBefore),
        *std::max_element(f.targetsBefore.begin(), f.targetsBefore.end()), Median(f.targetsPerKey),
        Percentile(f.targetsPerKey, 0.99), f.targetsPerKey.size(), Median(f.targetsPerCapture),
        *std::max_element(f.targetsPerCapture.begin(), f.targetsPerCapture.end()));
    std::printf(
        "%s: the operator's keyboards held back (nobody typing): hold median %.3f ms (max %.3f), "
        "release median %.3f ms (max %.3f)\n",
        way, Median(f.holds), *std::max_element(f.holds.begin(), f.holds.end()), Median(f.releases),
        *std::max_element(f.releases.begin(), f.releases.end()));
}

// Key presses the window received: keysym and server time.
struct Press {
    KeySym keysym;
    Time time;
};

std::vector<Press> TakePresses(Display* display) {
    std::vector<Press> presses;
    XSync(display, False);
    while (XPending(display) > 0) {
        XEvent e;
        XNextEvent(display, &e);
        if (e.type == KeyPress) presses.push_back({XLookupKeysym(&e.xkey, 0), e.xkey.time});
    }
    return presses;
}

// The operator types "pozn" on a keyboard of their own 100 ms into each of
// kHeldRuns captures; the window's server times give the gap between the
// capture's Enter and the first of the operator's keys after it.
bool MeasureHeldKeys(KeySink& keys, Display* window, const std::string& displayName) {
    constexpr int kHeldRuns = 20;
    SystemClock clock;
    std::vector<double> gaps;
    int whole = 0;
    for (int run = 0; run < kHeldRuns; ++run) {
        TakePresses(window);
        const std::string command = "DISPLAY=" + displayName +
                                    " " X_OPERATOR_KEYS
                                    " --after 100 --every 40 type pozn >/dev/null &";
        if (std::system(command.c_str()) != 0) return false;
        const TypingOutcome outcome =
            TypeCapture(keys, clock, {1, "00:00:00", kCode, false, false});
        clock.SleepFor(std::chrono::milliseconds(300));
        const auto presses = TakePresses(window);
        const auto enter = std::find_if(presses.begin(), presses.end(),
                                        [](const Press& p) { return p.keysym == XK_Return; });
        if (!outcome.typed || enter == presses.end() || enter + 1 == presses.end()) continue;
        whole += outcome.operatorKeys.delivered == 4 && presses.end() - enter == 5;
        gaps.push_back(static_cast<double>((enter + 1)->time - enter->time));
    }
    if (gaps.empty()) return false;
    std::printf(
        "held keys: %d captures with the operator typing 4 letters during each, %d with all 4 "
        "after the Enter; the first of them %.0f ms after the Enter (median of server times, "
        "max %.0f)\n",
        kHeldRuns, whole, Median(gaps), *std::max_element(gaps.begin(), gaps.end()));
    return true;
}

// A window of the bench's own with the focus, as an application the
// operator works in (no window manager: the focus is set directly).
Display* FocusedWindow(const std::string& displayName) {
    Display* display = XOpenDisplay(displayName.c_str());
    if (display == nullptr) return nullptr;
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 320, 200, 0, 0, 0);
    XSelectInput(display, window, KeyPressMask | KeyReleaseMask);
    XMapWindow(display, window);
    XSync(display, False);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    return display;
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

    Display* target = FocusedWindow(xvfb.DisplayName());
    if (target == nullptr) return 1;
    XTestKeySink keys(xvfb.DisplayName());
    Figures byKey, byCharacter, withOrderAndTime;
    if (!Measure(keys, capture, *steps, byKey)) return 1;
    capture.exactCharacters = true;
    if (!Measure(keys, capture, *steps, byCharacter)) return 1;
    CaptureKeys full{1, "09:41:05", kCode, true, true, false};
    const auto fullSteps = BuildKeySequence(full);
    if (!fullSteps || !Measure(keys, full, *fullSteps, withOrderAndTime)) return 1;

    std::printf(
        "typing_bench: %d runs each, code of 12 characters, no order, no time, Xvfb %s, "
        "Czech layout\n",
        kRuns, xvfb.DisplayName().c_str());
    std::printf("events per run: %zu, pauses by design: %.0f ms\n", steps->size(),
                designed.count());
    Print("by key", byKey);
    Print("by character", byCharacter);
    Print("by key, order and time", withOrderAndTime);
    if (!MeasureHeldKeys(keys, target, xvfb.DisplayName())) return 1;
    XCloseDisplay(target);
    return 0;
}
