// A small Windows program for the end-to-end test: it looks at the running
// vm4417.exe from outside, as an operator's tools would.
//
//   window-probe list            prints the capture list (UTF-8)
//   window-probe caption         prints the main window's caption
//   window-probe click TEXT      presses the button labelled TEXT
//   window-probe close-maker     closes the maker-information window
//   window-probe restore         restores the minimised main window
//   window-probe state           prints "minimised" or "normal"
// Exit status 0 on success, 1 when the window or control is not there.

#include <windows.h>

#include <cstdio>
#include <string>

#include "win32/WideText.h"

namespace {

HWND MainWindow() { return FindWindowW(L"VM4417TForm1", nullptr); }

std::wstring TextOf(HWND window) {
    wchar_t buffer[8192];
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 5000, &length)) {
        return {};
    }
    return std::wstring(buffer, length);
}

struct Search {
    const wchar_t* className;
    LONG style;
    const std::wstring* text;
    HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND child, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    wchar_t cls[64];
    GetClassNameW(child, cls, 64);
    if (lstrcmpiW(cls, search.className) != 0) return TRUE;
    if (search.style != 0 && (GetWindowLongW(child, GWL_STYLE) & search.style) == 0) return TRUE;
    if (search.text != nullptr && TextOf(child) != *search.text) return TRUE;
    search.found = child;
    return FALSE;
}

HWND FindChild(HWND parent, const wchar_t* cls, LONG style, const std::wstring* text) {
    Search search{cls, style, text};
    EnumChildWindows(parent, &Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void Print(const std::wstring& text) {
    const std::string utf8 = vm4417::win32::Utf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fputc('\n', stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const HWND window = MainWindow();
    if (window == nullptr || argc < 2) return 1;
    const std::wstring command = argv[1];
    if (command == L"caption") {
        Print(TextOf(window));
        return 0;
    }
    if (command == L"list") {
        const HWND memo = FindChild(window, L"Edit", ES_MULTILINE, nullptr);
        if (memo == nullptr) return 1;
        Print(TextOf(memo));
        return 0;
    }
    if (command == L"restore") {
        ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return 0;
    }
    if (command == L"state") {
        Print(IsIconic(window) ? L"minimised" : L"normal");
        return 0;
    }
    if (command == L"close-maker") {
        const HWND maker = FindWindowW(L"VM4417TForm2", nullptr);
        if (maker == nullptr) return 1;
        PostMessageW(maker, WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == L"click" && argc == 3) {
        const std::wstring text = argv[2];
        const HWND button = FindChild(window, L"Button", 0, &text);
        if (button == nullptr) return 1;
        // Posted: the press may close the program, which then cannot answer.
        PostMessageW(button, BM_CLICK, 0, 0);
        return 0;
    }
    return 1;
}
