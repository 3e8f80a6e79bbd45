// The whole program (window, logic, Win32 backends) in this process, run
// until `count` captures have been listed; prints the local wall-clock time
// (HH:MM:SS.mmm) at which each list line was written, for
// scripts/bench-windows to pair with the simulator's frame times.
//
//   capture-bench COUNT

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "Program.h"

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

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) wanted = std::atoi(argv[1]);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    vm4417::ui::Program whole(vm4417::ui::ExecutablePath());
    program = &whole;
    if (!whole.Create(GetModuleHandleW(nullptr))) return 1;
    SetWindowSubclass(whole.Form().Handle(), &WatchList, 1, 0);
    whole.Show(SW_SHOWNORMAL);
    return whole.Run();
}
