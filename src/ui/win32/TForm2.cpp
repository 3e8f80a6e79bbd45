#include "TForm2.h"

#include <commctrl.h>

#include "Form2Layout.h"
#include "Texts.h"
#include "WinFont.h"
#include "win32/WideText.h"

namespace vm4417::ui {

namespace {
constexpr wchar_t kClassName[] = L"VM4417TForm2";
}

TForm2::TForm2(HINSTANCE instance, HWND owner, std::wstring fontFace, int dpi, HICON bigIcon,
               HICON smallIcon)
    : instance_(instance),
      owner_(owner),
      fontFace_(std::move(fontFace)),
      dpi_(dpi),
      bigIcon_(bigIcon),
      smallIcon_(smallIcon) {
    regular_ = CreateUiFont(fontFace_, -Scale(kForm2LabelPixelSize));
    bold_ = CreateUiFont(fontFace_, -Scale(kForm2LabelPixelSize), true);
}

TForm2::~TForm2() {
    if (window_ != nullptr) DestroyWindow(window_);
    DeleteObject(regular_);
    DeleteObject(bold_);
}

void TForm2::ShowModal() {
    RegisterRoutedClass<TForm2>(instance_, kClassName, bigIcon_, smallIcon_);

    RECT frame{0, 0, Scale(kForm2ClientWidth), Scale(kForm2ClientHeight)};
    AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0, static_cast<UINT>(dpi_));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(owner_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    window_ = CreateWindowExW(0, kClassName, win32::Wide(text::kMakerCaption).c_str(),
                              WS_OVERLAPPEDWINDOW, work.left + (work.right - work.left - width) / 2,
                              work.top + (work.bottom - work.top - height) / 2, width, height,
                              owner_, nullptr, instance_, this);
    if (window_ == nullptr) return;
    BuildLabels();

    EnableWindow(owner_, FALSE);
    ShowWindow(window_, SW_SHOWNORMAL);
    open_ = true;
    MSG message;
    while (open_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            // Someone ended the program meanwhile: leave the quit for the
            // main loop.
            if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
            OnClose();
            break;
        }
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void TForm2::BuildLabels() {
    HDC dc = GetDC(window_);
    for (const LabelEntry& entry : Form2Labels()) {
        const std::wstring text = win32::Wide(entry.text);
        HFONT font = entry.bold ? bold_ : regular_;
        const SIZE size = TextSize(dc, font, text);
        HWND label = CreateWindowExW(0, WC_STATICW, text.c_str(),
                                     WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                     Scale(entry.left), Scale(entry.top), size.cx, size.cy, window_,
                                     nullptr, instance_, nullptr);
        SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        const COLORREF colour =
            entry.colour ? RGB(entry.colour->red, entry.colour->green, entry.colour->blue)
                         : GetSysColor(COLOR_WINDOWTEXT);
        labels_.emplace_back(label, colour);
    }
    ReleaseDC(window_, dc);
}

LRESULT TForm2::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CTLCOLORSTATIC:
            return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_CLOSE: OnClose(); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT TForm2::OnControlColour(HDC dc, HWND label) {
    COLORREF colour = GetSysColor(COLOR_WINDOWTEXT);
    for (const auto& [handle, labelColour] : labels_) {
        if (handle == label) colour = labelColour;
    }
    SetTextColor(dc, colour);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void TForm2::OnClose() {
    if (!open_) return;
    open_ = false;
    // The owner must be enabled before this window goes, or Windows would
    // activate some other program's window in between.
    EnableWindow(owner_, TRUE);
    SetActiveWindow(owner_);
    if (window_ != nullptr) {
        const HWND window = window_;
        window_ = nullptr;
        DestroyWindow(window);
    }
}

}  // namespace vm4417::ui
