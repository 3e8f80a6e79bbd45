// What holding back the operator's keys costs a capture, and how soon the
// held keys arrive after it. Captures with order number, time and code are
// typed into an edit window of a second process (a copy of this program
// started with --target FILE), which notes the moment of every change of its
// text and writes them to FILE when it is closed.
//
// With nobody typing, captures with the hold and without it take turns: the
// hold before the first key (the hook's thread started and its hook in
// place), its release after the Enter, the time in SendInput of all the
// capture's events (each waits for the hook), and the whole capture. Then
// the operator types a note on the X keyboard during each capture (xdotool,
// which Wine starts as it starts any Unix program): from the capture's Enter
// arriving in the window to the held keys arriving there, and the release's
// own time.
//
//   operator-keys-bench [CAPTURES]

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "ForwardingKeySink.h"
#include "KeyTyping.h"
#include "SelfInFront.h"
#include "win32/SendInputKeySink.h"
#include "win32/Win32Clock.h"

namespace {

using Steady = std::chrono::steady_clock;

// The steady clock in nanoseconds: QueryPerformanceCounter, the same in
// every process.
long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now().time_since_epoch())
        .count();
}

double MsBetween(long long fromNs, long long toNs) {
    return static_cast<double>(toNs - fromNs) / 1e6;
}

// ---- the target: an edit window that notes when its text changes ----------

struct Change {
    long long ns;
    std::wstring text;
};

HWND targetEdit = nullptr;
std::vector<Change> changes;

LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (reinterpret_cast<HWND>(lParam) == targetEdit && HIWORD(wParam) == EN_CHANGE) {
                const long long ns = NowNs();
                std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(targetEdit)) + 1,
                                  L'\0');
                text.resize(static_cast<std::size_t>(
                    GetWindowTextW(targetEdit, text.data(), static_cast<int>(text.size()))));
                changes.push_back({ns, std::move(text)});
            }
            return 0;
        case WM_SETFOCUS: SetFocus(targetEdit); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

// FILE gets one line per change: nanoseconds, a space, the text with CR and
// LF shown as < and >.
int RunTarget(const char* file) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW cls{};
    cls.lpfnWndProc = &TargetProc;
    cls.hInstance = instance;
    cls.lpszClassName = L"VM4417KeysBenchTarget";
    RegisterClassW(&cls);
    // Shown once its edit control is there.
    const HWND frame =
        CreateWindowExW(0, cls.lpszClassName, L"Keys bench target", WS_OVERLAPPEDWINDOW, 60, 60,
                        700, 200, nullptr, nullptr, instance, nullptr);
    targetEdit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 690,
                                 170, frame, nullptr, instance, nullptr);
    ShowWindow(frame, SW_SHOW);
    changes.reserve(100000);
    // Windows may refuse the foreground at first; asked again until it holds.
    MSG message{};
    for (;;) {
        if (GetForegroundWindow() != frame) {
            SetForegroundWindow(frame);
            SetFocus(targetEdit);
        }
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) break;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (message.message == WM_QUIT) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    std::ofstream out(file, std::ios::binary);
    for (const Change& change : changes) {
        out << change.ns << ' ';
        for (const wchar_t c : change.text) {
            out << (c == L'\r' ? '<' : c == L'\n' ? '>' : static_cast<char>(c));
        }
        out << '\n';
    }
    return 0;
}

// ---- the bench -------------------------------------------------------------

struct Target {
    PROCESS_INFORMATION process{};
    HWND frame = nullptr;
    HWND edit = nullptr;
};

bool StartTarget(Target& target, const std::string& file) {
    target.frame = bench::StartSelfInFront(
        L"--target " + std::wstring(file.begin(), file.end()), target.process, [&](HWND frame) {
            target.edit = FindWindowExW(frame, nullptr, L"EDIT", nullptr);
            return target.edit != nullptr;
        });
    return target.frame != nullptr;
}

void StopTarget(Target& target) { bench::CloseSelfInFront(target.frame, target.process); }

std::wstring TextOf(HWND edit) {
    wchar_t buffer[4096];
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(edit, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 5000, &length)) {
        return {};
    }
    return std::wstring(buffer, length);
}

void Clear(HWND edit) {
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
}

bool WaitUntil(const std::function<bool()>& done) {
    const auto end = Steady::now() + std::chrono::seconds{5};
    while (!done()) {
        if (Steady::now() >= end) return false;
        Sleep(5);
    }
    return true;
}

// xdotool on the X keyboard; Wine gives no handle that waits for it.
void Xdotool(const std::wstring& arguments) {
    std::wstring command = L"Z:\\usr\\bin\\xdotool " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

// The X keyboard focus on the target (Xvfb has no window manager to give
// it), shown by a space arriving there.
bool FocusTargetForTheXKeyboard(const Target& target) {
    const auto window =
        reinterpret_cast<std::uintptr_t>(GetPropW(target.frame, L"__wine_x11_whole_window"));
    Xdotool(L"windowfocus --sync " + std::to_wstring(window) + L" key space");
    const bool focused = WaitUntil([&] { return TextOf(target.edit) == L" "; });
    Clear(target.edit);
    return focused;
}

// The times of one capture, in nanoseconds of the steady clock.
struct CaptureTimes {
    long long start = 0, holdStart = 0, holdEnd = 0, enterSent = 0, lastSent = 0, releaseStart = 0,
              releaseEnd = 0, end = 0;
    long long sendNs = 0;  // in SendInput, all events of the capture
    bool typed = false;
    bool allHeld = false;
    vm4417::OperatorKeysOutcome operatorKeys;
};

// The sink around SendInputKeySink that takes the times; with `hold` off it
// holds nothing (as before the hold existed). With `operatorPresses` above 0
// the operator types on the X keyboard as the hold begins, and the Enter
// waits until the hold has taken that many presses.
class TimedSink final : public vm4417::ForwardingKeySink {
public:
    TimedSink(vm4417::SendInputKeySink& keys, bool hold, int operatorPresses)
        : keys_(keys), hold_(hold), operatorPresses_(operatorPresses) {}

    vm4417::OperatorKeys HoldOperatorKeys() override {
        times.holdStart = NowNs();
        const vm4417::OperatorKeys held =
            hold_ ? keys_.HoldOperatorKeys() : vm4417::OperatorKeys::Unseen;
        times.holdEnd = NowNs();
        if (operatorPresses_ > 0) Xdotool(L"key p r o space s k l a d");
        return held;
    }
    bool Send(const vm4417::KeyEvent& event) override {
        const bool enter = event.virtualKey == vm4417::vk::Return && !event.keyUp;
        if (enter && operatorPresses_ > 0) {
            times.allHeld =
                WaitUntil([this] { return keys_.OperatorKeysSeen() >= operatorPresses_; });
        }
        const long long before = NowNs();
        const bool sent = keys_.Send(event);
        const long long after = NowNs();
        times.sendNs += after - before;
        times.lastSent = after;
        if (enter) times.enterSent = after;
        return sent;
    }
    vm4417::OperatorKeysOutcome ReleaseOperatorKeys(bool deliver) override {
        times.releaseStart = NowNs();
        const vm4417::OperatorKeysOutcome outcome =
            hold_ ? keys_.ReleaseOperatorKeys(deliver) : vm4417::OperatorKeysOutcome{};
        times.releaseEnd = NowNs();
        return outcome;
    }

    CaptureTimes times;

private:
    vm4417::KeySink& Inner() const override { return keys_; }

    vm4417::SendInputKeySink& keys_;
    bool hold_;
    int operatorPresses_;
};

CaptureTimes TypeOne(const Target& target, bool hold, int operatorPresses, std::uint32_t order) {
    Clear(target.edit);
    Sleep(200);
    vm4417::SendInputKeySink keys;
    TimedSink timed(keys, hold, operatorPresses);
    vm4417::Win32Clock clock;
    timed.times.start = NowNs();
    const vm4417::CaptureKeys capture{order, "09:41:05", "00000A1B2C3D", true, true};
    const vm4417::TypingOutcome outcome = vm4417::TypeCapture(timed, clock, capture);
    timed.times.end = NowNs();
    timed.times.typed = outcome.typed;
    timed.times.operatorKeys = outcome.operatorKeys;
    // The note must be in the window before the next capture clears it.
    if (operatorPresses > 0) {
        WaitUntil([&] { return TextOf(target.edit).ends_with(L"pro sklad"); });
    }
    return timed.times;
}

struct Spread {
    double median, min, max;
};

Spread SpreadOf(std::vector<double> values) {
    if (values.empty()) return {0, 0, 0};
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

std::string Shown(const std::vector<double>& values) {
    const Spread s = SpreadOf(values);
    char text[128];
    std::snprintf(text, sizeof text, "median %.2f ms (%.2f to %.2f)", s.median, s.min, s.max);
    return text;
}

struct Arrival {
    long long ns;
    std::string text;
};

std::vector<Arrival> ReadArrivals(const std::string& file) {
    std::vector<Arrival> arrivals;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        arrivals.push_back({std::atoll(line.substr(0, space).c_str()), line.substr(space + 1)});
    }
    return arrivals;
}

// The first change in [from, to) whose text passes `test`; 0 when none.
long long FirstArrival(const std::vector<Arrival>& arrivals, long long from, long long to,
                       const std::function<bool(const std::string&)>& test) {
    for (const Arrival& a : arrivals) {
        if (a.ns >= from && a.ns < to && test(a.text)) return a.ns;
    }
    return 0;
}

void ReportNobodyTyping(const std::vector<CaptureTimes>& with,
                        const std::vector<CaptureTimes>& without) {
    std::vector<double> hold, release, sendWith, sendWithout, wholeWith, wholeWithout;
    for (const CaptureTimes& t : with) {
        hold.push_back(MsBetween(t.holdStart, t.holdEnd));
        release.push_back(MsBetween(t.releaseStart, t.releaseEnd));
        sendWith.push_back(static_cast<double>(t.sendNs) / 1e6);
        wholeWith.push_back(MsBetween(t.start, t.end));
    }
    for (const CaptureTimes& t : without) {
        sendWithout.push_back(static_cast<double>(t.sendNs) / 1e6);
        wholeWithout.push_back(MsBetween(t.start, t.end));
    }
    std::printf("nobody typing, %zu captures with the hold and %zu without, taking turns:\n",
                with.size(), without.size());
    std::printf("  the hold before the first key (thread started, hook in place): %s\n",
                Shown(hold).c_str());
    std::printf("  its release after the Enter (nothing held; hook removed, thread ended): %s\n",
                Shown(release).c_str());
    std::printf("  SendInput, all events of a capture: with the hook %s, without %s\n",
                Shown(sendWith).c_str(), Shown(sendWithout).c_str());
    std::printf("  whole capture: with the hold %s, without %s\n", Shown(wholeWith).c_str(),
                Shown(wholeWithout).c_str());
}

void ReportOperatorTyping(const std::vector<CaptureTimes>& captures,
                          const std::vector<Arrival>& arrivals, int presses) {
    std::vector<double> enterToHeld, sentToHeld, lastToHeld, release;
    int allHeld = 0, whole = 0;
    for (std::size_t i = 0; i < captures.size(); ++i) {
        const CaptureTimes& t = captures[i];
        const long long until =
            i + 1 < captures.size() ? captures[i + 1].start : t.end + 10'000'000'000LL;
        if (t.allHeld && t.operatorKeys.delivered == presses) ++allHeld;
        const long long enter = FirstArrival(arrivals, t.start, until, [](const std::string& text) {
            return text.find("<>") != std::string::npos;
        });
        const long long held = FirstArrival(arrivals, t.start, until, [](const std::string& text) {
            return text.ends_with("<>pro sklad");
        });
        if (enter == 0 || held == 0) continue;
        ++whole;
        enterToHeld.push_back(MsBetween(enter, held));
        sentToHeld.push_back(MsBetween(t.enterSent, held));
        lastToHeld.push_back(MsBetween(t.lastSent, held));
        release.push_back(MsBetween(t.releaseStart, t.releaseEnd));
    }
    std::printf(
        "the operator typing a note (%d presses) on the X keyboard during each of %zu captures: "
        "all held in %d, the note right after the Enter in %d:\n",
        presses, captures.size(), allHeld, whole);
    std::printf("  the Enter arriving in the window to the note arriving there: %s\n",
                Shown(enterToHeld).c_str());
    std::printf("  the Enter's SendInput returning to the note arriving: %s\n",
                Shown(sentToHeld).c_str());
    std::printf(
        "  the capture's last event (the Enter's release, 30 ms, a Shift release) sent to the "
        "note arriving: %s\n",
        Shown(lastToHeld).c_str());
    std::printf("  the release (the held keys sent, the hook removed): %s\n",
                Shown(release).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--target") return RunTarget(argv[2]);
    const int captures = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::string file = "operator-keys-bench-target.txt";

    Target target;
    if (!StartTarget(target, file)) {
        std::fprintf(stderr, "operator-keys-bench: the target window did not come to the front\n");
        return 1;
    }
    if (!FocusTargetForTheXKeyboard(target)) {
        std::fprintf(stderr, "operator-keys-bench: the target gets no key of the X keyboard\n");
        StopTarget(target);
        return 1;
    }
    std::vector<CaptureTimes> with, without, typing;
    for (int i = 0; i < captures; ++i) {
        with.push_back(TypeOne(target, true, 0, static_cast<std::uint32_t>(i + 1)));
        without.push_back(TypeOne(target, false, 0, static_cast<std::uint32_t>(i + 1)));
    }
    constexpr int kNotePresses = 9;  // p r o space s k l a d
    for (int i = 0; i < captures; ++i) {
        typing.push_back(TypeOne(target, true, kNotePresses, static_cast<std::uint32_t>(i + 1)));
    }
    StopTarget(target);
    for (const auto* runs : {&with, &without, &typing}) {
        for (const CaptureTimes& t : *runs) {
            if (!t.typed) {
                std::fprintf(stderr, "operator-keys-bench: a capture was not typed\n");
                return 1;
            }
        }
    }
    ReportNobodyTyping(with, without);
    ReportOperatorTyping(typing, ReadArrivals(file), kNotePresses);
    return 0;
}
