// The whole program (window, logic, Win32 backends) in this process, run
// until `count` captures have been listed; prints the local wall-clock time
// (HH:MM:SS.mmm) at which each list line was written, for
// scripts/bench-windows to pair with the simulator's frame times.
//
// With --typed FILE the captures are typed (as the settings file in the
// working folder says) into an edit window of a second process, a copy of
// this program started with --target FILE once the program's start-up is
// done. That window takes the foreground and writes, for each Enter it
// receives, the local time, the milliseconds from the line's first
// character to its Enter, and the line into FILE; the run ends when it has
// received `count` lines.
//
//   capture-bench COUNT
//   capture-bench COUNT --typed FILE

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Program.h"
#include "SelfInFront.h"

namespace {

int wanted = 30;
vm4417::ui::Program* program = nullptr;

LRESULT CALLBACK WatchList(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                           DWORD_PTR) {
    if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE &&
        reinterpret_cast<HWND>(lParam) == program->Form().ControlHandle(vm4417::Control::Memo1)) {
        const auto n = program->Logic().CaptureCounter();
        static std::uint32_t seen = 0;
        if (n > seen) {
            seen = n;
            SYSTEMTIME now;
            GetLocalTime(&now);
            std::printf("%u %02d:%02d:%02d.%03d\n", n, now.wHour, now.wMinute, now.wSecond,
                        now.wMilliseconds);
            std::fflush(stdout);
            if (static_cast<int>(n) >= wanted) PostQuitMessage(0);
        }
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// The target: an edit window in the foreground that logs every line it
// receives, stamped at its Enter, until it has `wanted` lines.
int RunTarget(const char* file) {
    std::FILE* log = std::fopen(file, "wb");
    if (log == nullptr) return 1;
    HWND edit =
        CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE | ES_MULTILINE, 60, 60,
                        500, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(edit);
    SetFocus(edit);
    LARGE_INTEGER frequency, firstKey{}, enter;
    QueryPerformanceFrequency(&frequency);
    std::string line;
    int lines = 0;
    MSG message;
    while (lines < wanted && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        if (message.message == WM_CHAR && line.empty()) QueryPerformanceCounter(&firstKey);
        if (message.message == WM_CHAR && message.wParam == L'\r') {
            QueryPerformanceCounter(&enter);
            SYSTEMTIME now;
            GetLocalTime(&now);
            const double typing = static_cast<double>(enter.QuadPart - firstKey.QuadPart) * 1000.0 /
                                  static_cast<double>(frequency.QuadPart);
            std::fprintf(log, "%02d:%02d:%02d.%03d %.1f %s\n", now.wHour, now.wMinute, now.wSecond,
                         now.wMilliseconds, typing, line.c_str());
            std::fflush(log);
            line.clear();
            ++lines;
        } else if (message.message == WM_CHAR && message.wParam < 0x80) {
            line += static_cast<char>(message.wParam);
        }
        DispatchMessageW(&message);
    }
    std::fclose(log);
    return 0;
}

PROCESS_INFORMATION target{};
std::string targetFile;

// Starts the target and waits until its window has the foreground.
bool StartTarget() {
    return bench::StartSelfInFront(std::to_wstring(wanted) + L" --target \"" +
                                       std::wstring(targetFile.begin(), targetFile.end()) + L"\"",
                                   target) != nullptr;
}

UINT_PTR startTimer = 0;
UINT_PTR watchTimer = 0;

// The run ends with the target.
void CALLBACK WatchTarget(HWND, UINT, UINT_PTR, DWORD) {
    if (WaitForSingleObject(target.hProcess, 0) != WAIT_OBJECT_0) return;
    KillTimer(nullptr, watchTimer);
    PostQuitMessage(0);
}

// The target starts a second after the window, when the program has found
// the reader. Thread timers, so that none replaces one of the window's own.
void CALLBACK OpenTarget(HWND, UINT, UINT_PTR, DWORD) {
    KillTimer(nullptr, startTimer);
    if (!StartTarget()) {
        std::fprintf(stderr, "capture-bench: the target window did not come to the front\n");
        PostQuitMessage(1);
        return;
    }
    watchTimer = SetTimer(nullptr, 0, 100, &WatchTarget);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) wanted = std::atoi(argv[1]);
    const std::string mode = argc > 3 ? argv[2] : "";
    if (mode == "--target") return RunTarget(argv[3]);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    vm4417::ui::Program whole(vm4417::ui::ExecutablePath());
    program = &whole;
    if (!whole.Create(GetModuleHandleW(nullptr))) return 1;
    if (mode == "--typed") {
        targetFile = argv[3];
        startTimer = SetTimer(nullptr, 0, 1000, &OpenTarget);
    } else {
        SetWindowSubclass(whole.Form().Handle(), &WatchList, 1, 0);
    }
    whole.Show(SW_SHOWNORMAL);
    const int status = whole.Run();
    if (target.hProcess != nullptr) {
        TerminateProcess(target.hProcess, 0);
        CloseHandle(target.hThread);
        CloseHandle(target.hProcess);
    }
    return status;
}
