// An application of another process for the program to type into: a window
// with an edit control that takes the foreground and the keyboard focus.
// Whenever the control's text changes, the whole text goes to FILE (UTF-8,
// rewritten each time); once the window is in the front, FILE.ready is
// written. It ends SECONDS after the first Enter it receives has come in
// (what follows the Enter is kept too), or after LIMIT seconds.
//
//   edit-target FILE [SECONDS [LIMIT]]

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

HWND frame = nullptr;
HWND edit = nullptr;
std::string file;
UINT_PTR endTimer = 0;
int graceMs = 1000;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

void WriteText() {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    const std::string utf8 = Utf8(text);
    const std::string part = file + ".part";
    std::FILE* out = std::fopen(part.c_str(), "wb");
    if (out == nullptr) return;
    std::fwrite(utf8.data(), 1, utf8.size(), out);
    std::fclose(out);
    MoveFileExA(part.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (endTimer == 0 && text.find(L'\n') != std::wstring::npos) {
        endTimer = SetTimer(frame, 1, static_cast<UINT>(graceMs), nullptr);
    }
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (reinterpret_cast<HWND>(lParam) == edit && HIWORD(wParam) == EN_CHANGE) WriteText();
            return 0;
        case WM_SETFOCUS: SetFocus(edit); return 0;
        case WM_TIMER: DestroyWindow(window); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

// The window in the front with the focus in the control, as far as Windows
// allows; true once both hold.
bool TakeForeground() {
    SetForegroundWindow(frame);
    SetFocus(edit);
    return GetForegroundWindow() == frame && GetFocus() == edit;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    file = argv[1];
    if (argc > 2) graceMs = static_cast<int>(std::atof(argv[2]) * 1000);
    const DWORD limitMs = argc > 3 ? static_cast<DWORD>(std::atof(argv[3]) * 1000) : 60000;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW cls{};
    cls.lpfnWndProc = &FrameProc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    cls.lpszClassName = L"VM4417EditTarget";
    if (RegisterClassW(&cls) == 0) return 1;
    frame = CreateWindowExW(0, cls.lpszClassName, L"Edit target", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            80, 80, 700, 200, nullptr, nullptr, instance, nullptr);
    edit = CreateWindowExW(0, L"EDIT", L"",
                           WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, 0,
                           0, 690, 170, frame, nullptr, instance, nullptr);
    if (frame == nullptr || edit == nullptr) return 1;
    const DWORD start = GetTickCount();
    bool ready = false;
    MSG message;
    for (;;) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return 0;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (!ready && TakeForeground()) {
            ready = true;
            std::FILE* mark = std::fopen((file + ".ready").c_str(), "wb");
            if (mark != nullptr) std::fclose(mark);
        }
        if (GetTickCount() - start > limitMs) return ready ? 0 : 1;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}
