#pragma once
// The benches' typing target: a copy of the bench's own program started with
// other arguments, whose window must have the foreground before a key goes.

#include <windows.h>

#include <string>

namespace bench {

// Starts this program again with ARGUMENTS and waits, at most 20 s, until a
// window of the new process has the foreground and READY accepts it. That
// window, or null; the process is then ended, so that it keeps no output of
// the bench open.
template <typename Ready>
HWND StartSelfInFront(const std::wstring& arguments, PROCESS_INFORMATION& process, Ready ready) {
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    std::wstring command = L"\"" + self + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return nullptr;
    }
    const ULONGLONG end = GetTickCount64() + 20000;
    while (GetTickCount64() < end) {
        const HWND foreground = GetForegroundWindow();
        DWORD owner = 0;
        GetWindowThreadProcessId(foreground, &owner);
        if (foreground != nullptr && owner == process.dwProcessId && ready(foreground)) {
            return foreground;
        }
        Sleep(10);
    }
    TerminateProcess(process.hProcess, 1);
    return nullptr;
}

inline HWND StartSelfInFront(const std::wstring& arguments, PROCESS_INFORMATION& process) {
    return StartSelfInFront(arguments, process, [](HWND) { return true; });
}

// Closes the target's WINDOW and waits, at most 10 s, for its process to end.
inline void CloseSelfInFront(HWND window, PROCESS_INFORMATION& process) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace bench
