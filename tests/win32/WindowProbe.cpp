// A small Windows program for the end-to-end test: it looks at the running
// vm4417.exe from outside, as an operator's tools would.
//
//   window-probe list            prints the capture list (UTF-8)
//   window-probe caption         prints the main window's caption
//   window-probe click TEXT      presses the button labelled TEXT
//   window-probe focus TEXT      brings the window to the front with the
//                                keyboard focus on the control labelled TEXT
//   window-probe front-after FILE
//                                prints "waiting", then brings the window to
//                                the front once FILE exists (looked for every
//                                5 ms, for at most 10 s), as a click on it
//                                would: its own focus comes back to the
//                                control that had it. For a move that must
//                                come within a few milliseconds of a step of
//                                the test, without the probe's start-up
//   window-probe focused         prints the text of the control that has the
//                                window's keyboard focus
//   window-probe session EVENT   tells the window that the session was
//                                locked or unlocked (EVENT: lock, unlock), as
//                                Windows's session notification does
//   window-probe power EVENT     tells the window that the machine is about
//                                to sleep or woke up (EVENT: suspend,
//                                resume), as Windows's power broadcast does
//   window-probe close-maker     closes the maker-information window
//   window-probe restore         restores the minimised main window
//   window-probe state           prints "minimised" or "normal"
//   window-probe windows         prints how many main windows there are
//   window-probe foreground      prints "yes" when the main window is the
//                                foreground window, else "no"
//   window-probe menu-click      chooses the system menu's start-at-login
//                                item, as the operator does
//   window-probe names           prints, for each control shown, its name in
//                                the control table, the name a screen reader
//                                should read, the name it reads through
//                                AccessibleObjectFromWindow and accName, and
//                                whether that comes from the window text
//                                ("text") or from an annotation; then
//                                "annotations kept" or "annotations not kept
//                                (HRESULT)" for this system's oleacc
//   window-probe tab-walk N      brings the main window to the front and
//                                presses Tab N times, printing before each
//                                press the control table's name of the
//                                control that has the keyboard focus
//   window-probe box             prints the text of the program's error box
//                                (a start that did not open its window) and
//                                presses its OK
// Exit status 0 on success, 1 when the window or control is not there.

#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <string>

#include "Accessibility.h"
#include "Form1Layout.h"
#include "TForm1.h"
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

// Focus moves only within the input of one thread: the probe joins the
// window's thread for the move.
bool Focus(HWND window, HWND control) {
    const DWORD ours = GetCurrentThreadId();
    const DWORD theirs = GetWindowThreadProcessId(window, nullptr);
    if (!AttachThreadInput(ours, theirs, TRUE)) return false;
    SetForegroundWindow(window);
    SetFocus(control);
    const bool focused = GetFocus() == control;
    AttachThreadInput(ours, theirs, FALSE);
    return focused;
}

HWND FocusedControl(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

bool NotifySession(HWND window, const std::wstring& event) {
    if (event != L"lock" && event != L"unlock") return false;
    const WPARAM change = event == L"lock" ? WTS_SESSION_LOCK : WTS_SESSION_UNLOCK;
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    // Sent rather than posted: the probe returns once the window has taken
    // it, even while the window's thread is busy reading the reader.
    return SendMessageTimeoutW(window, WM_WTSSESSION_CHANGE, change, session, SMTO_ABORTIFHUNG,
                               5000, nullptr) != 0;
}

bool NotifyPower(HWND window, const std::wstring& event) {
    if (event != L"suspend" && event != L"resume") return false;
    const WPARAM change = event == L"suspend" ? PBT_APMSUSPEND : PBT_APMRESUMEAUTOMATIC;
    return SendMessageTimeoutW(window, WM_POWERBROADCAST, change, 0, SMTO_ABORTIFHUNG, 5000,
                               nullptr) != 0;
}

void Print(const std::wstring& text) {
    const std::string utf8 = vm4417::win32::Utf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fputc('\n', stdout);
}

BOOL CALLBACK CountMainWindow(HWND window, LPARAM count) {
    wchar_t cls[64];
    GetClassNameW(window, cls, 64);
    if (lstrcmpW(cls, L"VM4417TForm1") == 0) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// The name a screen reader reads for the control, as a client process reads
// it; empty when there is none.
std::wstring AccessibleName(HWND control) {
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible)))) {
        return {};
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring text;
    if (accessible->get_accName(self, &name) == S_OK && name != nullptr) text = name;
    SysFreeString(name);
    accessible->Release();
    return text;
}

// Whether this system's oleacc keeps a name annotated on a window of ours.
HRESULT AnnotationResult() {
    IAccPropServices* services = nullptr;
    HRESULT result = CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IAccPropServices, reinterpret_cast<void**>(&services));
    if (FAILED(result)) return result;
    const HWND scratch =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    result = services->SetHwndPropStr(scratch, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                      PROPID_ACC_NAME, L"probe");
    if (SUCCEEDED(result) && AccessibleName(scratch) != L"probe") result = E_FAIL;
    services->ClearHwndProps(scratch, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                             &PROPID_ACC_NAME, 1);
    DestroyWindow(scratch);
    services->Release();
    return result;
}

void PrintNames(HWND window) {
    using namespace vm4417;
    int id = ui::TForm1::kFirstControlId;
    for (const ControlEntry& entry : Form1Controls()) {
        const HWND control = GetDlgItem(window, id++);
        if (control == nullptr || !IsWindowVisible(control)) continue;
        const std::wstring expected = win32::Wide(Form1AccessibleName(entry.id));
        const bool fromText = TextOf(control) == expected && entry.kind != ControlKind::Edit;
        Print(win32::Wide(entry.name) + L"\t" + expected + L"\t" + AccessibleName(control) + L"\t" +
              (fromText ? L"text" : L"annotation"));
    }
    const HRESULT annotation = AnnotationResult();
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(annotation));
    Print(SUCCEEDED(annotation) ? std::wstring(L"annotations kept")
                                : L"annotations not kept (" + std::wstring(code) + L")");
}

std::wstring ControlName(HWND window, HWND control) {
    const auto controls = vm4417::Form1Controls();
    const int index = GetDlgCtrlID(control) - vm4417::ui::TForm1::kFirstControlId;
    if (GetParent(control) != window || index < 0 || index >= static_cast<int>(controls.size())) {
        return {};
    }
    return vm4417::win32::Wide(controls[static_cast<std::size_t>(index)].name);
}

void PressTab() {
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = VK_TAB;
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

// The system menu's own start-at-login item.
constexpr UINT kStartAtLoginCommand = 0x0440;

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"box") {
        const HWND box = FindWindowW(L"#32770", L"Error");
        const HWND text = box == nullptr ? nullptr : GetDlgItem(box, 0xFFFF);
        if (text == nullptr) return 1;
        Print(TextOf(text));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return 0;
    }
    if (argc == 2 && std::wstring(argv[1]) == L"windows") {
        int count = 0;
        EnumWindows(&CountMainWindow, reinterpret_cast<LPARAM>(&count));
        Print(std::to_wstring(count));
        return 0;
    }
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
    if (command == L"foreground") {
        Print(GetForegroundWindow() == window ? L"yes" : L"no");
        return 0;
    }
    if (command == L"menu-click") {
        return SendMessageTimeoutW(window, WM_SYSCOMMAND, kStartAtLoginCommand, 0, SMTO_ABORTIFHUNG,
                                   5000, nullptr) != 0
                   ? 0
                   : 1;
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
    if (command == L"names") {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        PrintNames(window);
        return 0;
    }
    if (command == L"tab-walk" && argc == 3) {
        SetForegroundWindow(window);
        Sleep(300);
        for (int i = _wtoi(argv[2]); i > 0; --i) {
            const HWND before = FocusedControl(window);
            Print(ControlName(window, before));
            PressTab();
            // Until the window has taken the key: the focus moves, or it
            // stays where it was for 2 s.
            for (int wait = 0; wait < 40 && FocusedControl(window) == before; ++wait) Sleep(50);
        }
        return 0;
    }
    if (command == L"focused") {
        const HWND control = FocusedControl(window);
        if (control == nullptr) return 1;
        Print(TextOf(control));
        return 0;
    }
    if (command == L"focus" && argc == 3) {
        const std::wstring text = argv[2];
        const HWND control = FindChild(window, L"Button", 0, &text);
        return control != nullptr && Focus(window, control) ? 0 : 1;
    }
    if (command == L"front-after" && argc == 3) {
        Print(L"waiting");
        std::fflush(stdout);
        for (int looks = 0; GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; ++looks) {
            if (looks == 2000) return 1;
            Sleep(5);
        }
        return SetForegroundWindow(window) ? 0 : 1;
    }
    if (command == L"session" && argc == 3) return NotifySession(window, argv[2]) ? 0 : 1;
    if (command == L"power" && argc == 3) return NotifyPower(window, argv[2]) ? 0 : 1;
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
