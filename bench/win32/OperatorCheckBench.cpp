// What the look at the operator's keyboard and at the target's integrity
// level adds to a capture before its first key. With the keyboard idle a
// capture asks Begin() (the integrity levels) and Keyboard() twice (held
// modifiers, then Caps Lock); with Caps Lock on it also switches Caps Lock
// off and back on. The foreground window belongs to a second process, a copy
// of this program started with --target, as a real target would.
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
#include "win32/SendInputKeySink.h"

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

// Median, 99th percentile and maximum of `repeats` timed runs, in microseconds.
void Report(const char* what, int repeats, const std::function<void()>& run) {
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(repeats));
    for (int i = 0; i < repeats; ++i) {
        const auto start = Steady::now();
        run();
        times.push_back(std::chrono::duration<double, std::micro>(Steady::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%s: median %.1f us, 99th percentile %.1f us, max %.1f us (%d runs)\n", what,
                times[times.size() / 2], times[times.size() * 99 / 100], times.back(), repeats);
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
