// What the look at the operator's keyboard and at the target's integrity
// level adds to a capture before its first key. With the keyboard idle a
// capture asks Begin() (the integrity levels) and Keyboard() twice (held
// modifiers, then Caps Lock); with Caps Lock on it also switches Caps Lock
// off and back on. Then what each call of a look at where the keys go
// (Target()) costs, and what the looks cost in captures with order number
// and time typed by TypeCapture with their pauses: those before the first
// key, each one before a later key-down, and all of one capture; beside
// them, taking turns, the same captures with everything read at every look.
// The foreground window belongs to a second process, a copy of this program
// started with --target, as a real target would.
//
//   operator-check-bench [REPEATS]

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "ForwardingKeySink.h"
#include "KeyTyping.h"
#include "SelfInFront.h"
#include "win32/ForegroundIntegrity.h"
#include "win32/ForegroundTarget.h"
#include "win32/SendInputKeySink.h"
#include "win32/WideText.h"
#include "win32/Win32Clock.h"

namespace {

using Steady = std::chrono::steady_clock;

// The target: an edit window in the foreground until it is closed.
int RunTarget() {
    HWND edit =
        CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE | ES_MULTILINE, 40, 40,
                        400, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(edit);
    SetFocus(edit);
    const auto end = Steady::now() + std::chrono::minutes{2};
    while (IsWindow(edit) && Steady::now() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return 0;
}

struct Target {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
};

bool StartTarget(Target& target) {
    target.window = bench::StartSelfInFront(L"--target", target.process);
    return target.window != nullptr;
}

void StopTarget(Target& target) { bench::CloseSelfInFront(target.window, target.process); }

struct Timed {
    const char* what;
    std::function<void()> run;
};

double MicrosecondsOf(const std::function<void()>& run) {
    const auto start = Steady::now();
    run();
    return std::chrono::duration<double, std::micro>(Steady::now() - start).count();
}

struct Spread {
    double median, p99, max;
};

Spread SpreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values[values.size() * 99 / 100], values.back()};
}

// Median, 99th percentile and maximum of `repeats` timed runs of each, in
// microseconds; divided by `callsPerRun` for calls too quick to time one by
// one. The runs take turns, so that a slow spell of the machine (another
// process on the core that the wineserver wants) falls on all of them alike.
void ReportTogether(int repeats, const std::vector<Timed>& timed, int callsPerRun = 1) {
    std::vector<std::vector<double>> times(timed.size());
    for (int i = 0; i < repeats; ++i) {
        for (std::size_t t = 0; t < timed.size(); ++t)
            times[t].push_back(MicrosecondsOf(timed[t].run) / callsPerRun);
    }
    for (std::size_t t = 0; t < timed.size(); ++t) {
        const Spread spread = SpreadOf(times[t]);
        std::printf("%s: median %.2f us, 99th percentile %.2f us, max %.1f us (%d runs%s)\n",
                    timed[t].what, spread.median, spread.p99, spread.max, repeats,
                    callsPerRun > 1 ? ", per call of a run of ten" : "");
    }
}

void Report(const char* what, int repeats, const std::function<void()>& run) {
    ReportTogether(repeats, {{what, run}});
}

const char* Shown(const std::optional<bool>& value) {
    if (!value) return "unknown";
    return *value ? "yes" : "no";
}

void PrintTarget(vm4417::SendInputKeySink& sink) {
    const vm4417::win32::TargetReading reading =
        vm4417::win32::ReadTarget(vm4417::win32::TargetParts::Whole);
    const vm4417::KeyTarget target = sink.Target();
    const std::string desktop = vm4417::win32::Utf8(reading.inputDesktop.name);
    std::printf(
        "where the keys go, read: input desktop '%s'%s, this program's window: %s, "
        "locked: %s\n",
        desktop.c_str(), reading.inputDesktop.denied ? " (access denied)" : "",
        Shown(target.ownWindow), Shown(target.locked));
}

void ReadInputDesktopName() {
    const HDESK desktop = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
    if (desktop == nullptr) return;
    wchar_t name[64];
    DWORD needed = 0;
    GetUserObjectInformationW(desktop, UOI_NAME, name, sizeof name, &needed);
    CloseDesktop(desktop);
}

// Ten calls in a row: one call alone is too quick for the clock.
void TenTimes(const std::function<void()>& call) {
    for (int i = 0; i < 10; ++i) call();
}

// Every call of a look at where the keys go, one by one.
void ReportCallsOfALook(int repeats, HWND foreign) {
    vm4417::win32::LockNotifications notifications;
    notifications.Notify(false);
    volatile std::uintptr_t sink = 0;  // keeps the results from being optimised away
    ReportTogether(
        repeats,
        {{"  GetForegroundWindow",
          [&] {
              TenTimes(
                  [&] { sink = sink + reinterpret_cast<std::uintptr_t>(GetForegroundWindow()); });
          }},
         {"  GetWindowThreadProcessId (another process's window)",
          [&] {
              TenTimes([&] {
                  DWORD process = 0;
                  GetWindowThreadProcessId(foreign, &process);
                  sink = sink + process;
              });
          }},
         {"  GetCurrentProcessId", [&] { TenTimes([&] { sink = sink + GetCurrentProcessId(); }); }},
         {"  the input desktop's name (OpenInputDesktop, GetUserObjectInformationW, "
          "CloseDesktop)",
          [] { TenTimes(ReadInputDesktopName); }},
         {"  the notified lock (a read of what the window noted)",
          [&] { TenTimes([&] { sink = sink + notifications.Locked().value_or(true); }); }}},
        10);
    // Most keys are asked about after a pause of kKeyDelay, when the first
    // call to the wineserver costs more than one right after another.
    std::vector<double> afterPause;
    for (int i = 0; i < std::max(1, repeats / 20); ++i) {
        Sleep(static_cast<DWORD>(vm4417::kKeyDelay.count()));
        afterPause.push_back(MicrosecondsOf(
            [&] { sink = sink + reinterpret_cast<std::uintptr_t>(GetForegroundWindow()); }));
    }
    const Spread spread = SpreadOf(afterPause);
    std::printf(
        "  GetForegroundWindow after a pause of %lld ms: median %.2f us, 99th percentile %.2f us, "
        "max %.1f us (%zu runs)\n",
        static_cast<long long>(vm4417::kKeyDelay.count()), spread.median, spread.p99, spread.max,
        afterPause.size());
}

// Times every look at where the keys go: those before the first key, and
// those before each later key-down.
class LookTimer final : public vm4417::ForwardingKeySink {
public:
    explicit LookTimer(vm4417::KeySink& inner) : inner_(inner) {}

    bool Begin() override {
        sent_ = false;
        before.clear();
        perKey.clear();
        return inner_.Begin();
    }
    bool Send(const vm4417::KeyEvent& event) override {
        sent_ = true;
        return inner_.Send(event);
    }
    vm4417::KeyTarget Target() override {
        const auto asked = Steady::now();
        const vm4417::KeyTarget target = inner_.Target();
        (sent_ ? perKey : before)
            .push_back(std::chrono::duration<double, std::micro>(Steady::now() - asked).count());
        return target;
    }

    std::vector<double> before, perKey;  // in microseconds

private:
    vm4417::KeySink& Inner() const override { return inner_; }

    vm4417::KeySink& inner_;
    bool sent_ = false;
};

double Sum(const std::vector<double>& values) {
    double sum = 0;
    for (const double v : values) sum += v;
    return sum;
}

// The looks at where the keys go in captures of one way of looking, in
// microseconds: all before the first key and all of a capture (sums, one
// each per capture), and each one before a later key-down.
struct Looks {
    explicit Looks(const char* way_) : way(way_) {}

    const char* way;
    std::vector<double> before, perCapture, perKey;
    std::size_t looksBefore = 0, looksPerCapture = 0;
};

// One capture with order number and time typed into the target window, with
// its pauses: the looks after a pause cost more under Wine than those right
// after a key (the wineserver has gone idle meanwhile).
bool TypeTimed(vm4417::KeySink& keys, Looks& looks) {
    constexpr vm4417::CaptureKeys kCapture{7, "09:41:05", "00000A1B2C3D", true, true};
    LookTimer timer(keys);
    vm4417::Win32Clock clock;
    const vm4417::TypingOutcome outcome = vm4417::TypeCapture(timer, clock, kCapture);
    if (!outcome.typed) {
        std::fprintf(stderr, "operator-check-bench: a capture was not typed: %s\n",
                     outcome.problem.c_str());
        return false;
    }
    looks.before.push_back(Sum(timer.before));
    looks.perCapture.push_back(Sum(timer.before) + Sum(timer.perKey));
    looks.perKey.insert(looks.perKey.end(), timer.perKey.begin(), timer.perKey.end());
    looks.looksBefore = timer.before.size();
    looks.looksPerCapture = timer.before.size() + timer.perKey.size();
    return true;
}

void PrintLooks(const Looks& looks) {
    const Spread before = SpreadOf(looks.before);
    const Spread key = SpreadOf(looks.perKey);
    const Spread capture = SpreadOf(looks.perCapture);
    std::printf(
        "  %s: before the first key (%zu looks) median %.1f us, max %.1f us; each later look "
        "median %.1f us, 99th percentile %.1f us (%zu looks); all %zu looks of a capture median "
        "%.1f us, max %.1f us (%zu captures)\n",
        looks.way, looks.looksBefore, before.median, before.max, key.median, key.p99,
        looks.perKey.size(), looks.looksPerCapture, capture.median, capture.max,
        looks.perCapture.size());
}

// The sink's looks against looks that read everything every time (as a
// sink that kept nothing between looks would), in captures that take turns.
bool ReportLooksInCaptures(int captures) {
    vm4417::SendInputKeySink sink;
    vm4417::SendInputKeySink readingEverything(vm4417::win32::ReadIntegrity, [](auto) {
        return vm4417::win32::ReadTarget(vm4417::win32::TargetParts::Whole);
    });
    Looks sinks("the sink's looks");
    Looks everything("everything read at every look");
    for (int i = 0; i < captures; ++i) {
        if (!TypeTimed(sink, sinks) || !TypeTimed(readingEverything, everything)) return false;
    }
    std::printf("where the keys go, in captures with order number and time:\n");
    PrintLooks(sinks);
    PrintLooks(everything);
    return true;
}

bool CapsLockOn() { return (GetKeyState(VK_CAPITAL) & 1) != 0; }

void TapCapsLock() {
    INPUT tap[2]{};
    for (INPUT& input : tap) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = VK_CAPITAL;
    }
    tap[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, tap, sizeof(INPUT));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--target") return RunTarget();
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    Target target;
    if (!StartTarget(target)) {
        std::fprintf(stderr, "operator-check-bench: the target window did not come to the front\n");
        return 1;
    }
    const vm4417::win32::IntegrityReading reading = vm4417::win32::ReadIntegrity();
    std::printf("integrity levels read: this process 0x%X, the target 0x%X%s\n",
                reading.own.value_or(0), reading.foreground.value_or(0),
                reading.foregroundDenied ? " (access denied)" : "");
    vm4417::SendInputKeySink sink;
    Report("checks before the first key, keyboard idle (Begin, Keyboard twice)", repeats, [&] {
        sink.Begin();
        sink.Keyboard();
        sink.Keyboard();
    });
    Report("  of which the integrity levels", repeats, [] { vm4417::win32::ReadIntegrity(); });
    Report("  of which one look at the keyboard", repeats, [&] { sink.Keyboard(); });
    PrintTarget(sink);
    std::printf("the calls of a look at where the keys go:\n");
    ReportCallsOfALook(repeats, target.window);
    if (!ReportLooksInCaptures(std::max(1, repeats / 200))) {
        StopTarget(target);
        return 1;
    }

    const bool capsWasOn = CapsLockOn();
    if (!capsWasOn) TapCapsLock();
    int stuck = 0;
    Report("Caps Lock on: switched off and back on", repeats / 10, [&] {
        if (!sink.SuspendLocks()) ++stuck;
        sink.RestoreLocks();
    });
    std::printf("  Caps Lock not switched off: %d times\n", stuck);
    if (CapsLockOn() != capsWasOn) TapCapsLock();
    StopTarget(target);
    return 0;
}
