#pragma once
// The maker-information window, shown modally over the main window: the
// labels of the maker table in their colours, nothing else.

#include <windows.h>

#include <string>
#include <vector>

#include "RoutedWindow.h"

namespace vm4417::ui {

class TForm2 {
public:
    // `systemDpi`: the scale of the owner's monitor, in dots per inch.
    TForm2(HINSTANCE instance, HWND owner, std::wstring fontFace, int systemDpi, HICON bigIcon,
           HICON smallIcon);
    ~TForm2();
    TForm2(const TForm2&) = delete;
    TForm2& operator=(const TForm2&) = delete;

    // Returns when the operator has closed the window with its close box.
    // The owner takes no input meanwhile; its timers keep ticking.
    void ShowModal();

private:
    friend LRESULT CALLBACK RoutedWindowProc<TForm2>(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void BuildLabels();
    void FitTo(HMONITOR monitor, POINT wanted, bool centre);
    void LayoutLabels();
    LRESULT OnControlColour(HDC dc, HWND label);
    void OnClose();
    int Scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }

    HINSTANCE instance_;
    HWND owner_;
    std::wstring fontFace_;
    int systemDpi_;
    int dpi_ = 96;
    HICON bigIcon_;
    HICON smallIcon_;
    HWND window_ = nullptr;
    HFONT regular_ = nullptr;
    HFONT bold_ = nullptr;
    bool open_ = false;
    std::vector<std::pair<HWND, COLORREF>> labels_;
};

}  // namespace vm4417::ui
