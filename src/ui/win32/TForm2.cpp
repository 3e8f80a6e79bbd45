#include "TForm2.h"

#include <commctrl.h>

#include "Form2Layout.h"
#include "Texts.h"
#include "WinFont.h"
#include "WindowFit.h"
#include "win32/WideText.h"

namespace vm4417::ui {

namespace {
constexpr wchar_t kClassName[] = L"VM4417TForm2";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
}  // namespace

TForm2::TForm2(HINSTANCE instance, HWND owner, std::wstring fontFace, int systemDpi, HICON bigIcon,
               HICON smallIcon)
    : instance_(instance),
      owner_(owner),
      fontFace_(std::move(fontFace)),
      systemDpi_(systemDpi),
      bigIcon_(bigIcon),
      smallIcon_(smallIcon) {}

TForm2::~TForm2() {
    if (window_ != nullptr) DestroyWindow(window_);
    DeleteObject(regular_);
    DeleteObject(bold_);
}

void TForm2::ShowModal() {
    RegisterRoutedClass<TForm2>(instance_, kClassName, bigIcon_, smallIcon_);
    window_ = CreateWindowExW(0, kClassName, win32::Wide(text::kMakerCaption).c_str(), kStyle,
                              CW_USEDEFAULT, CW_USEDEFAULT, kForm2ClientWidth, kForm2ClientHeight,
                              owner_, nullptr, instance_, this);
    if (window_ == nullptr) return;
    BuildLabels();
    // Centred on the owner's monitor, not on the owner.
    FitTo(MonitorFromWindow(owner_, MONITOR_DEFAULTTOPRIMARY), POINT{}, true);

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
    for (const LabelEntry& entry : Form2Labels()) {
        HWND label = CreateWindowExW(0, WC_STATICW, win32::Wide(entry.text).c_str(),
                                     WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0,
                                     window_, nullptr, instance_, nullptr);
        const COLORREF colour =
            entry.colour ? RGB(entry.colour->red, entry.colour->green, entry.colour->blue)
                         : GetSysColor(COLOR_WINDOWTEXT);
        labels_.emplace_back(label, colour);
    }
}

// The same rules as the main window's: the monitor's scale, or the largest
// at which the window fits the work area, never below the design's size.
void TForm2::FitTo(HMONITOR monitor, POINT wanted, bool centre) {
    dpi_ = FittingWindowDpi(monitor, systemDpi_, PixelSize{kForm2ClientWidth, kForm2ClientHeight},
                            kStyle);
    LayoutLabels();
    const PixelSize frame = FrameSize(kStyle, systemDpi_);
    const SIZE outer{Scale(kForm2ClientWidth) + frame.width,
                     Scale(kForm2ClientHeight) + frame.height};
    const RECT work = WorkArea(monitor);
    const POINT at = centre ? Centred(work, outer) : PlaceInside(work, outer, wanted);
    SetWindowPos(window_, nullptr, at.x, at.y, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window_, nullptr, TRUE);
}

// Fonts at the window's scale; each label sized to its text.
void TForm2::LayoutLabels() {
    if (regular_ != nullptr) DeleteObject(regular_);
    if (bold_ != nullptr) DeleteObject(bold_);
    regular_ = CreateUiFont(fontFace_, -Scale(kForm2LabelPixelSize));
    bold_ = CreateUiFont(fontFace_, -Scale(kForm2LabelPixelSize), true);
    HDC dc = GetDC(window_);
    const auto entries = Form2Labels();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const LabelEntry& entry = entries[i];
        const HWND label = labels_[i].first;
        HFONT font = entry.bold ? bold_ : regular_;
        const SIZE size = TextSize(dc, font, win32::Wide(entry.text));
        SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SetWindowPos(label, nullptr, Scale(entry.left), Scale(entry.top), size.cx, size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ReleaseDC(window_, dc);
}

LRESULT TForm2::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CTLCOLORSTATIC:
            return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_CLOSE: OnClose(); return 0;
        case WM_DPICHANGED: {
            const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
            systemDpi_ = HIWORD(wParam);
            FitTo(MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST),
                  POINT{suggested.left, suggested.top}, false);
            return 0;
        }
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
