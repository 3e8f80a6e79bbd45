#pragma once

#include <windows.h>

namespace vm4417::ui {

// The window procedure of a window class whose windows each belong to one
// Owner object, passed as CreateWindowExW's creation parameter: the owner
// learns its handle (window_) at WM_NCCREATE and gets every message through
// its HandleMessage. Messages before WM_NCCREATE go to the default procedure.
template <class Owner>
LRESULT CALLBACK RoutedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* owner = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        owner->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    }
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (owner == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return owner->HandleMessage(window, message, wParam, lParam);
}

// Registers the class `name` of Owner's windows: routed to Owner, with the
// program's icons, the arrow cursor and the button-face background of the
// design's windows. Registering a name twice fails harmlessly.
template <class Owner>
void RegisterRoutedClass(HINSTANCE instance, const wchar_t* name, HICON bigIcon, HICON smallIcon) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &RoutedWindowProc<Owner>;
    windowClass.hInstance = instance;
    windowClass.hIcon = bigIcon;
    windowClass.hIconSm = smallIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}

}  // namespace vm4417::ui
