// What the look at the operator's keyboard and at the target's integrity
// level adds to a capture before its first key. With the keyboard idle a
// capture asks Begin() (the integrity levels) and Keyboard() twice (held
// modifiers, then Caps Lock); with Caps Lock on it also switches Caps Lock
// off and back on. Where the keys would go (Target(): the foreground window,
// its process, the input desktop) is asked three times before the first key
// and once before every further key-down. The foreground window belongs to a
// second process, a copy of this program started with --target, as a real
// target would.
//
//   operator-check-bench [REPEATS]

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "win32/ForegroundIntegrity.h"
#include "win32/ForegroundTarget.h"
#include "win32/SendInputKeySink.h"
#include "win32/WideText.h"

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
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    std::wstring command = L"\"" + self + L"\" --target";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &target.process)) {
        return false;
    }
    const auto end = Steady::now() + std::chrono::seconds{20};
    while (Steady::now() < end) {
        const HWND foreground = GetForegroundWindow();
        DWORD owner = 0;
        GetWindowThreadProcessId(foreground, &owner);
        if (foreground != nullptr && owner == target.process.dwProcessId) {
            target.window = foreground;
            return true;
        }
        Sleep(10);
    }
    return false;
}

void StopTarget(Target& target) {
    PostMessageW(target.window, WM_CLOSE, 0, 0);
    WaitForSingleObject(target.process.hProcess, 5000);
    CloseHandle(target.process.hThread);
    CloseHandle(target.process.hProcess);
}

struct Timed {
    const char* what;
    std::function<void()> run;
};

double MicrosecondsOf(const std::function<void()>& run) {
    const auto start = Steady::now();
    run();
    return std::chrono::duration<double, std::micro>(Steady::now() - start).count();
}

// Median, 99th percentile and maximum of `repeats` timed runs of each, in
// microseconds. The runs take turns, so that a slow spell of the machine
// (another process on the core that the wineserver wants) falls on all of
// them alike.
void ReportTogether(int repeats, const std::vector<Timed>& timed) {
    std::vector<std::vector<double>> times(timed.size());
    for (int i = 0; i < repeats; ++i) {
        for (std::size_t t = 0; t < timed.size(); ++t)
            times[t].push_back(MicrosecondsOf(timed[t].run));
    }
    for (std::size_t t = 0; t < timed.size(); ++t) {
        std::vector<double>& sorted = times[t];
        std::sort(sorted.begin(), sorted.end());
        std::printf("%s: median %.1f us, 99th percentile %.1f us, max %.1f us (%d runs)\n",
                    timed[t].what, sorted[sorted.size() / 2], sorted[sorted.size() * 99 / 100],
                    sorted.back(), repeats);
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
    const vm4417::win32::TargetReading reading = vm4417::win32::ReadTarget();
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
    ReportTogether(repeats, {{"where the keys go, before the first key (Target three times)",
                              [&] {
                                  sink.Target();
                                  sink.Target();
                                  sink.Target();
                              }},
                             {"where the keys go, before each further key-down (Target once)",
                              [&] { sink.Target(); }},
                             {"  of which the input desktop's name", ReadInputDesktopName}});

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
