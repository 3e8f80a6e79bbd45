#pragma once
// The main window in plain Win32: it builds the controls of the control
// table, shows what the window logic tells it, and passes the operator's
// actions and the timer ticks on to the logic. It decides nothing itself,
// except Windows' part of the counter field's focus rules.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ControlAnnotations.h"
#include "Form1Layout.h"
#include "MainView.h"
#include "RoutedWindow.h"
#include "StartAtLogin.h"
#include "win32/ForegroundTarget.h"

namespace vm4417 {
class MainWindow;
}

namespace vm4417::ui {

class TForm1 final : public MainView {
public:
    // A control's id: this plus its place in Form1Controls().
    static constexpr int kFirstControlId = 100;

    // The window notes in `lockNotifications` when the session is locked and
    // unlocked.
    explicit TForm1(win32::LockNotifications& lockNotifications);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Creates the window and its controls (hidden). False when Windows
    // refused.
    bool Create(HINSTANCE instance);
    // Connects the controls to the logic; call once, before Show.
    void Attach(MainWindow& logic) { logic_ = &logic; }
    // Shows the window as the program was asked to start (SW_SHOWNORMAL,
    // SW_SHOWMINNOACTIVE, ...); start-up follows at its first activation.
    void Show(int showCommand);
    // Marks the window as the one working in the folder of `folderKey`, for
    // a second start in that folder to find (see HandOver.h).
    void MarkFolder(const std::string& folderKey);
    // The system menu's checkable "Spouštět po přihlášení", read anew each
    // time the menu opens; `switchTo` gets the state the operator chose.
    void SetStartAtLoginItem(std::function<StartAtLoginMenuItem()> read,
                             std::function<void(bool)> switchTo);
    // The message loop's filter: keyboard navigation between controls and
    // the counter field's exit. True when the message has been dealt with.
    bool PreTranslate(MSG& message);

    HWND Handle() const { return window_; }
    HWND ControlHandle(Control control) const { return controls_.at(control); }
    bool StartupDone() const { return startupStarted_; }
    const std::wstring& FontFace() const { return fontFace_; }
    // The scale the client area is drawn at and the scale of the monitor
    // the window is on, in dots per inch (96 = the design's size). They
    // differ when the window at the monitor's scale would not fit it.
    int Dpi() const { return dpi_; }
    int SystemDpi() const { return systemDpi_; }
    // The controls whose text does not fit them in the chosen font.
    std::vector<std::string> TextsThatDoNotFit() const;

    // MainView
    void SetVisible(Control control, bool visible) override;
    void SetEnabled(Control control, bool enabled) override;
    bool IsChecked(Control box) const override;
    void SetChecked(Control box, bool checked) override;
    std::string Text(Control control) const override;
    void SetText(Control control, const std::string& text) override;
    void SetFocus(Control control) override;
    void RepaintNow(Control control) override;
    std::string Caption() const override;
    void SetCaption(const std::string& caption) override;
    void Minimize() override;
    void CloseWindow() override;
    void SetStatusText(const std::string& text) override;
    void SetAccessibleName(Control control, const std::string& name) override;
    void Announce(const std::string& notice) override;
    Rgb StatusColor() const override;
    void SetStatusColor(Rgb color) override;
    std::string MemoLine(int index) const override;
    void SetMemoLine(int index, const std::string& text) override;
    bool IsTimerEnabled(Timer timer) const override;
    void SetTimerEnabled(Timer timer, bool enabled) override;
    void ShowErrorBox(const std::string& text) override;
    void ShowConversionErrorBox(const std::string& caption, const std::string& text) override;
    void ShowMakerInformation() override;

private:
    friend LRESULT CALLBACK RoutedWindowProc<TForm1>(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Handlers, one per message.
    void OnActivate(WPARAM wParam);
    void OnSize(WPARAM wParam);
    void OnTimer(WPARAM id);
    void OnCommand(WPARAM wParam, LPARAM lParam);
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    LRESULT OnControlColour(HDC dc, HWND control);
    void OnDpiChanged(WPARAM wParam, const RECT& suggested);
    void OnStartup();
    void OnSessionChange(WPARAM event);
    void OnPowerBroadcast(WPARAM event);
    void OnInitMenuPopup(HMENU menu, LPARAM lParam);
    bool OnSysCommand(WPARAM command);
    void OnDestroy();

    void BuildControls();
    HWND MakeControl(const ControlEntry& entry);
    void SetZOrder();
    void AddTips();
    void NameControls();
    void ChooseFont();
    void MakePictures();
    void Layout();
    void FitTo(HMONITOR monitor, POINT wanted, bool centre);
    void DrawPicture(const DRAWITEMSTRUCT& item, Control picture);
    void DrawStatusPanel(const DRAWITEMSTRUCT& item);
    void StartupWhenActive();
    void ClickCheckBox(Control box);
    bool TabOutOfList(const MSG& message);
    bool LeaveCounterField(HWND target);
    void ShowBox(const std::string& caption, const std::string& text);
    int Scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }
    Control ControlOf(HWND control) const;

    MainWindow* logic_ = nullptr;
    // Before the windows: it outlives them, and clears what it set on them.
    ControlAnnotations annotations_;
    win32::LockNotifications& lockNotifications_;
    bool sessionNotified_ = false;  // registered for the session's notifications
    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
    HWND statusBar_ = nullptr;
    HWND tips_ = nullptr;
    std::map<Control, HWND> controls_;
    std::map<Control, HIMAGELIST> buttonImages_;
    HBITMAP ledDark_ = nullptr;
    HBITMAP ledLit_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HFONT font_ = nullptr;
    std::wstring fontFace_;
    HBRUSH faceBrush_ = nullptr;
    int dpi_ = 96;
    int systemDpi_ = 96;

    std::wstring statusText_;
    COLORREF statusColour_ = 0;
    HBRUSH statusBrush_ = nullptr;
    bool timer1On_ = false;
    bool timer2On_ = false;
    bool inTimer2_ = false;
    bool startupStarted_ = false;
    // The control that had the focus when the window was deactivated.
    HWND lastFocus_ = nullptr;
    std::string folderKey_;
    std::function<StartAtLoginMenuItem()> readStartAtLogin_;
    std::function<void(bool)> switchStartAtLogin_;
};

}  // namespace vm4417::ui
