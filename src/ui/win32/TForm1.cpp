#include "TForm1.h"

#include <windowsx.h>
#include <wtsapi32.h>

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

#include "Accessibility.h"
#include "HandOver.h"
#include "MainWindow.h"
#include "TForm2.h"
#include "Texts.h"
#include "WinFont.h"
#include "WinPictures.h"
#include "WindowFit.h"
#include "win32/WideText.h"

namespace vm4417::ui {

namespace {

using win32::Utf8;
using win32::Wide;

constexpr wchar_t kClassName[] = L"VM4417TForm1";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr UINT kStartupMessage = WM_APP + 1;
constexpr UINT_PTR kTimer1Id = 1;
constexpr UINT_PTR kTimer2Id = 2;
// The status bar's one panel, as its accessibility proxy numbers its parts.
constexpr LONG kStatusPanel = 1;
// The system menu's own item: below 0xF000, low four bits clear.
constexpr UINT kStartAtLoginCommand = 0x0440;
// Room a check box needs besides its text (the box and the gap after it),
// and a picture button besides its text (picture, gap and both margins),
// at 96 dots per inch.
constexpr int kCheckBoxExtra = 13 + 5;
constexpr int kBitBtnExtra = 16 + 4 + 2 * 6;

art::Glyph GlyphOf(Control c) {
    switch (c) {
        case Control::BitBtn1: return art::Glyph::Block;
        case Control::BitBtn2: return art::Glyph::Unblock;
        case Control::BitBtn3: return art::Glyph::LedOn;
        case Control::BitBtn4: return art::Glyph::LedOff;
        case Control::BitBtn5: return art::Glyph::RepeatRead;
        case Control::BitBtn6: return art::Glyph::ResetNumbering;
        case Control::BitBtn7: return art::Glyph::Exit;
        case Control::BitBtn8: return art::Glyph::Demo;
        default: return art::Glyph::MakerInfo;
    }
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The picture button never takes the focus, so pressing it leaves the
// counter field alone: it handles the mouse itself instead of letting the
// button take the focus first.
LRESULT CALLBACK NoFocusButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            SetCapture(button);
            SendMessageW(button, BM_SETSTATE, TRUE, 0);
            return 0;
        case WM_LBUTTONUP: {
            if (GetCapture() != button) return 0;
            ReleaseCapture();
            SendMessageW(button, BM_SETSTATE, FALSE, 0);
            RECT area;
            GetClientRect(button, &area);
            const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (PtInRect(&area, at)) {
                SendMessageW(GetParent(button), WM_COMMAND,
                             MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                             reinterpret_cast<LPARAM>(button));
            }
            return 0;
        }
        case WM_SETFOCUS: return 0;
        default: return DefSubclassProc(button, message, wParam, lParam);
    }
}

// Error boxes appear in the middle of the screen, not of their owner, and
// their picture has a name for a screen reader.
thread_local HHOOK centreHook = nullptr;
thread_local ControlAnnotations* boxAnnotations = nullptr;

BOOL CALLBACK NameBoxIcon(HWND child, LPARAM) {
    wchar_t cls[16] = {};
    GetClassNameW(child, cls, static_cast<int>(std::size(cls)));
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
    if (std::wstring_view(cls) == WC_STATICW && (style & SS_TYPEMASK) == SS_ICON) {
        boxAnnotations->SetName(child, Wide(text::kErrorIconName));
    }
    return TRUE;
}

LRESULT CALLBACK CentreNewBox(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const HWND box = reinterpret_cast<HWND>(wParam);
        RECT frame;
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (GetWindowRect(box, &frame) &&
            GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
            const RECT& work = monitor.rcWork;
            const int width = frame.right - frame.left;
            const int height = frame.bottom - frame.top;
            SetWindowPos(box, nullptr, work.left + (work.right - work.left - width) / 2,
                         work.top + (work.bottom - work.top - height) / 2, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (boxAnnotations != nullptr) EnumChildWindows(box, &NameBoxIcon, 0);
        UnhookWindowsHookEx(centreHook);
        centreHook = nullptr;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TForm1::TForm1(win32::LockNotifications& lockNotifications)
    : lockNotifications_(lockNotifications), statusColour_(GetSysColor(COLOR_BTNFACE)) {
    faceBrush_ = GetSysColorBrush(COLOR_BTNFACE);
    statusBrush_ = CreateSolidBrush(statusColour_);
}

TForm1::~TForm1() {
    if (window_ != nullptr) DestroyWindow(window_);
    for (auto& [control, images] : buttonImages_) ImageList_Destroy(images);
    DeleteObject(ledDark_);
    DeleteObject(ledLit_);
    DeleteObject(statusBrush_);
    if (font_ != nullptr) DeleteObject(font_);
    if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

bool TForm1::Create(HINSTANCE instance) {
    instance_ = instance;
    bigIcon_ = MakeProgramIcon(GetSystemMetrics(SM_CXICON));
    smallIcon_ = MakeProgramIcon(GetSystemMetrics(SM_CXSMICON));
    RegisterRoutedClass<TForm1>(instance, kClassName, bigIcon_, smallIcon_);
    window_ = CreateWindowExW(0, kClassName, Wide(text::kCaption).c_str(), kStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr, nullptr,
                              instance, this);
    if (window_ == nullptr) return false;
    systemDpi_ = static_cast<int>(GetDpiForWindow(window_));
    sessionNotified_ = WTSRegisterSessionNotification(window_, NOTIFY_FOR_THIS_SESSION) != FALSE;
    BuildControls();
    SetZOrder();
    AddTips();
    NameControls();
    FitTo(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), POINT{}, true);
    return true;
}

// Draws the client area at the monitor's scale, or smaller when the window
// would not fit the monitor's work area, and puts the window inside it:
// centred, or as near `wanted` as fits.
void TForm1::FitTo(HMONITOR monitor, POINT wanted, bool centre) {
    dpi_ = FittingWindowDpi(monitor, systemDpi_, PixelSize{kClientWidth, kClientHeight}, kStyle);
    ChooseFont();
    MakePictures();
    Layout();
    const PixelSize frame = FrameSize(kStyle, systemDpi_);
    const SIZE outer{Scale(kClientWidth) + frame.width, Scale(kClientHeight) + frame.height};
    const RECT work = WorkArea(monitor);
    const POINT at = centre ? Centred(work, outer) : PlaceInside(work, outer, wanted);
    SetWindowPos(window_, nullptr, at.x, at.y, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window_, nullptr, TRUE);
}

void TForm1::Show(int showCommand) {
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
}

// ---- Controls ---------------------------------------------------------------

void TForm1::BuildControls() {
    int id = kFirstControlId;
    for (const ControlEntry& entry : Form1Controls()) {
        HWND control = MakeControl(entry);
        SetWindowLongPtrW(control, GWLP_ID, id++);
        controls_[entry.id] = control;
        if (entry.kind == ControlKind::StatusBar) statusBar_ = control;
    }
}

HWND TForm1::MakeControl(const ControlEntry& entry) {
    const DWORD shown = entry.visible ? WS_VISIBLE : 0;
    const DWORD child = WS_CHILD | WS_CLIPSIBLINGS | shown;
    const std::wstring text = Wide(entry.text);
    auto make = [&](const wchar_t* cls, DWORD style, DWORD exStyle = 0,
                    const wchar_t* caption = L"") {
        return CreateWindowExW(exStyle, cls, caption, child | style, 0, 0, 0, 0, window_, nullptr,
                               instance_, nullptr);
    };
    switch (entry.kind) {
        case ControlKind::Label: return make(WC_STATICW, SS_LEFT | SS_NOPREFIX, 0, text.c_str());
        case ControlKind::Picture: return make(WC_STATICW, SS_OWNERDRAW);
        case ControlKind::SpeedButton: {
            HWND button = make(WC_BUTTONW, BS_PUSHBUTTON);
            SetWindowSubclass(button, &NoFocusButtonProc, 1, 0);
            return button;
        }
        case ControlKind::Memo: {
            // No scroll bars; long lines wrap.
            HWND memo = make(WC_EDITW, ES_MULTILINE | ES_WANTRETURN | WS_TABSTOP, WS_EX_CLIENTEDGE);
            std::wstring lines;
            for (int i = 0; i + 1 < kListLineCount; ++i) lines += L"\r\n";
            SetWindowTextW(memo, lines.c_str());
            return memo;
        }
        case ControlKind::Bevel:
            // Drawn here (an etched frame on the face colour), since an
            // etched static leaves its inside unpainted.
            return make(WC_STATICW, SS_OWNERDRAW);
        case ControlKind::BitBtn:
            return make(WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0, text.c_str());
        case ControlKind::CheckBox: {
            HWND box = make(WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP, 0, text.c_str());
            SendMessageW(box, BM_SETCHECK, entry.checked ? BST_CHECKED : BST_UNCHECKED, 0);
            return box;
        }
        case ControlKind::Edit:
            return make(WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, text.c_str());
        case ControlKind::StatusBar: {
            HWND bar = make(STATUSCLASSNAMEW, SBARS_SIZEGRIP);
            statusText_ = text;
            return bar;
        }
    }
    return nullptr;
}

// One tooltip window for the controls that have a tip; it follows the
// pointer over them by itself (TTF_SUBCLASS) and goes with the main window.
void TForm1::AddTips() {
    for (const ControlEntry& entry : Form1Controls()) {
        if (entry.tip.empty()) continue;
        if (tips_ == nullptr) {
            tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                    WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                    instance_, nullptr);
            if (tips_ == nullptr) return;
        }
        std::wstring text = Wide(entry.tip);  // the tooltip keeps its own copy
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(controls_.at(entry.id));
        tool.lpszText = text.data();
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

// What a screen reader says of each control beyond its window text: a name
// where the control shows none (or its text is its content, as a field's),
// a description of what it does, and the role of a picture or a frame,
// which the standard proxy of an owner-drawn static cannot know.
void TForm1::NameControls() {
    for (const ControlEntry& control : Form1Controls()) {
        const AccessibleEntry entry = Form1Accessible(control.id);
        const HWND handle = controls_.at(control.id);
        if (!entry.name.empty() || entry.label) {
            annotations_.SetName(handle, Wide(Form1AccessibleName(control.id)));
        }
        if (!entry.description.empty())
            annotations_.SetDescription(handle, Wide(entry.description));
        if (control.kind == ControlKind::Picture) annotations_.SetRole(handle, ROLE_SYSTEM_GRAPHIC);
        if (control.kind == ControlKind::Bevel) annotations_.SetRole(handle, ROLE_SYSTEM_GROUPING);
    }
    // The panel is drawn here, so its proxy cannot read its text.
    annotations_.SetName(statusBar_, Wide(Form1Control(Control::StatusBar1).text), kStatusPanel);
}

// Windows walks the keyboard focus in z-order, so the tab order comes first;
// then the controls outside it, with the dark LED above the lit one; the
// frames go last, under the group captions that sit on their edges.
void TForm1::SetZOrder() {
    std::vector<Control> order(Form1TabOrder().begin(), Form1TabOrder().end());
    std::vector<Control> bevels;
    for (const ControlEntry& entry : Form1Controls()) {
        if (std::find(order.begin(), order.end(), entry.id) != order.end()) continue;
        (entry.kind == ControlKind::Bevel ? bevels : order).push_back(entry.id);
    }
    order.insert(order.end(), bevels.begin(), bevels.end());
    HWND above = HWND_TOP;
    for (Control control : order) {
        SetWindowPos(controls_.at(control), above, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = controls_.at(control);
    }
}

void TForm1::ChooseFont() {
    HDC dc = GetDC(window_);
    std::wstring fallback;
    HFONT chosen = nullptr;
    for (const wchar_t* face : UiFontCandidates()) {
        HFONT font = CreateUiFont(face, FontHeight(8, dpi_));
        if (!DrawsCzech(dc, font)) {
            DeleteObject(font);
            continue;
        }
        if (fallback.empty()) fallback = face;
        std::swap(font_, font);
        const bool fits = TextsThatDoNotFit().empty();
        std::swap(font_, font);
        if (fits) {
            chosen = font;
            fontFace_ = face;
            break;
        }
        DeleteObject(font);
    }
    ReleaseDC(window_, dc);
    // Nothing fits everywhere: the first face with Czech letters, or, on a
    // system without any, whatever the design's face maps to.
    if (chosen == nullptr) {
        fontFace_ = fallback.empty() ? UiFontCandidates()[0] : fallback;
        chosen = CreateUiFont(fontFace_, FontHeight(8, dpi_));
    }
    if (font_ != nullptr) DeleteObject(font_);
    font_ = chosen;
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    for (auto& [control, handle] : controls_) {
        SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
}

std::vector<std::string> TForm1::TextsThatDoNotFit() const {
    std::vector<std::string> tight;
    HDC dc = GetDC(window_);
    for (const ControlEntry& entry : Form1Controls()) {
        const std::wstring text = entry.kind == ControlKind::StatusBar
                                      ? std::wstring()
                                      : WindowText(controls_.at(entry.id));
        if (text.empty()) continue;
        const int width = TextSize(dc, font_, text).cx;
        int room = Scale(entry.width);
        if (entry.kind == ControlKind::CheckBox) room -= Scale(kCheckBoxExtra);
        if (entry.kind == ControlKind::BitBtn) room -= Scale(kBitBtnExtra);
        // Labels take the width of their text; it must not reach past the
        // table's width by more than a few pixels, or captions hit the frames.
        if (entry.kind == ControlKind::Label) room += Scale(4);
        if (width > room) tight.emplace_back(entry.name);
    }
    ReleaseDC(window_, dc);
    return tight;
}

// The pictures at the scale of the client area. A button keeps the handle
// of its image list, so the old list goes only after the new one is set.
void TForm1::MakePictures() {
    for (const ControlEntry& entry : Form1Controls()) {
        const bool speedButton = entry.kind == ControlKind::SpeedButton;
        if (!speedButton && entry.kind != ControlKind::BitBtn) continue;
        HIMAGELIST images = MakeButtonImages(GlyphOf(entry.id), dpi_);
        const UINT align =
            speedButton ? BUTTON_IMAGELIST_ALIGN_CENTER : BUTTON_IMAGELIST_ALIGN_LEFT;
        BUTTON_IMAGELIST list{images, {speedButton ? 0 : Scale(4), 0, 0, 0}, align};
        SendMessageW(controls_.at(entry.id), BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list));
        if (const auto old = buttonImages_.find(entry.id); old != buttonImages_.end()) {
            ImageList_Destroy(old->second);
        }
        buttonImages_[entry.id] = images;
    }
    if (ledDark_ != nullptr) DeleteObject(ledDark_);
    if (ledLit_ != nullptr) DeleteObject(ledLit_);
    ledDark_ = MakeLedBitmap(art::LedDarkStrip(), dpi_);
    ledLit_ = MakeLedBitmap(art::LedLitStrip(), dpi_);
}

void TForm1::Layout() {
    HDC dc = GetDC(window_);
    for (const ControlEntry& entry : Form1Controls()) {
        if (entry.kind == ControlKind::StatusBar) continue;
        int width = Scale(entry.width);
        if (entry.kind == ControlKind::Label) {
            // Sized to the text, as the design's labels are.
            width = TextSize(dc, font_, WindowText(controls_.at(entry.id))).cx;
        }
        SetWindowPos(controls_.at(entry.id), nullptr, Scale(entry.left), Scale(entry.top), width,
                     Scale(entry.height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ReleaseDC(window_, dc);
    int parts[] = {Scale(kStatusPanelWidth)};
    SendMessageW(statusBar_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
    SendMessageW(statusBar_, SB_SETTEXTW, 0 | SBT_OWNERDRAW, 0);
    SendMessageW(statusBar_, WM_SIZE, 0, 0);
}

// ---- Messages ---------------------------------------------------------------

LRESULT TForm1::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATE: OnActivate(wParam); return 0;
        case WM_SIZE: OnSize(wParam); return 0;
        case WM_TIMER: OnTimer(wParam); return 0;
        case WM_COMMAND: OnCommand(wParam, lParam); return 0;
        case WM_DRAWITEM: OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
        case WM_CTLCOLORSTATIC:
            return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_DPICHANGED: OnDpiChanged(wParam, *reinterpret_cast<const RECT*>(lParam)); return 0;
        case kStartupMessage: OnStartup(); return 0;
        case WM_WTSSESSION_CHANGE: OnSessionChange(wParam); return 0;
        case WM_POWERBROADCAST: OnPowerBroadcast(wParam); return TRUE;
        case WM_DESTROY: OnDestroy(); return 0;
        case WM_INITMENUPOPUP:
            OnInitMenuPopup(reinterpret_cast<HMENU>(wParam), lParam);
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_SYSCOMMAND:
            if (OnSysCommand(wParam)) return 0;
            return DefWindowProcW(window, message, wParam, lParam);
        default:
            if (const auto answer = AnswerShowRequest(window_, message)) return *answer;
            // The close box ends the program without saving: the default
            // WM_CLOSE destroys the window.
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void TForm1::OnActivate(WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window_, focus)) lastFocus_ = focus;
        return;
    }
    // Back from an error box or another program: the focus returns where it was.
    if (lastFocus_ != nullptr && IsWindow(lastFocus_) && IsWindowVisible(lastFocus_)) {
        ::SetFocus(lastFocus_);
    }
    if (HIWORD(wParam) == 0) StartupWhenActive();
}

void TForm1::OnSize(WPARAM wParam) {
    // Everything keeps its place; the status bar follows the bottom edge.
    SendMessageW(statusBar_, WM_SIZE, 0, 0);
    // A window started minimised is often already the active one when it is
    // restored, so the restore itself counts as its first activation.
    if (wParam == SIZE_RESTORED && GetActiveWindow() == window_) StartupWhenActive();
}

void TForm1::StartupWhenActive() {
    if (startupStarted_ || logic_ == nullptr || IsIconic(window_) || !IsWindowVisible(window_)) {
        return;
    }
    startupStarted_ = true;
    // Posted, so that the activation finishes and the window is painted
    // before the port scan blocks the thread.
    PostMessageW(window_, kStartupMessage, 0, 0);
}

void TForm1::OnStartup() { logic_->FormActivate(); }

void TForm1::OnSessionChange(WPARAM event) {
    if (event == WTS_SESSION_LOCK) lockNotifications_.Notify(true);
    if (event == WTS_SESSION_UNLOCK) lockNotifications_.Notify(false);
}

// Windows says so before a sleep (suspend or hibernate) and after the
// wake-up: once automatically, and again when a person woke the machine.
void TForm1::OnPowerBroadcast(WPARAM event) {
    if (logic_ == nullptr) return;
    if (event == PBT_APMSUSPEND) logic_->PrepareForSleep();
    if (event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND) {
        logic_->ResumeFromSleep();
    }
}

void TForm1::MarkFolder(const std::string& folderKey) {
    folderKey_ = folderKey;
    MarkFolderWindow(window_, folderKey_);
}

void TForm1::SetStartAtLoginItem(std::function<StartAtLoginMenuItem()> read,
                                 std::function<void(bool)> switchTo) {
    readStartAtLogin_ = std::move(read);
    switchStartAtLogin_ = std::move(switchTo);
    HMENU menu = GetSystemMenu(window_, FALSE);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kStartAtLoginCommand, Wide(text::kStartAtLoginItem).c_str());
}

// The item shows the entry as it is now, whoever changed it meanwhile.
void TForm1::OnInitMenuPopup(HMENU menu, LPARAM lParam) {
    if (!HIWORD(lParam) || !readStartAtLogin_) return;
    const StartAtLoginMenuItem item = readStartAtLogin_();
    const std::wstring text = Wide(item.text);
    ModifyMenuW(menu, kStartAtLoginCommand, MF_BYCOMMAND | MF_STRING, kStartAtLoginCommand,
                text.c_str());
    CheckMenuItem(menu, kStartAtLoginCommand, MF_BYCOMMAND | (item.checked ? MF_CHECKED : 0));
    EnableMenuItem(menu, kStartAtLoginCommand,
                   MF_BYCOMMAND | (item.enabled ? MF_ENABLED : MF_GRAYED));
}

// The choice turns the entry as it is now, not as the menu last showed it.
bool TForm1::OnSysCommand(WPARAM command) {
    if ((command & 0xFFF0) != kStartAtLoginCommand || !switchStartAtLogin_) return false;
    const StartAtLoginMenuItem item = readStartAtLogin_();
    if (item.enabled) switchStartAtLogin_(!item.checked);
    return true;
}

void TForm1::OnDestroy() {
    if (!folderKey_.empty()) UnmarkFolderWindow(window_, folderKey_);
    if (std::exchange(sessionNotified_, false)) WTSUnRegisterSessionNotification(window_);
    KillTimer(window_, kTimer1Id);
    KillTimer(window_, kTimer2Id);
    window_ = nullptr;
    PostQuitMessage(0);
}

void TForm1::OnTimer(WPARAM id) {
    if (id == kTimer1Id && timer1On_) {
        logic_->Timer1Timer();
    } else if (id == kTimer2Id && timer2On_ && !inTimer2_) {
        // Windows makes at most one tick wait while a long one runs; this
        // also keeps a tick from starting inside another one.
        inTimer2_ = true;
        logic_->Timer2Timer();
        inTimer2_ = false;
    }
}

void TForm1::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != BN_CLICKED || lParam == 0 || logic_ == nullptr) return;
    const Control control = ControlOf(reinterpret_cast<HWND>(lParam));
    switch (control) {
        case Control::BitBtn1: logic_->BitBtn1Click(); break;
        case Control::BitBtn2: logic_->BitBtn2Click(); break;
        case Control::BitBtn3: logic_->BitBtn3Click(); break;
        case Control::BitBtn4: logic_->BitBtn4Click(); break;
        case Control::BitBtn5: logic_->BitBtn5Click(); break;
        case Control::BitBtn6: logic_->BitBtn6Click(); break;
        case Control::BitBtn7: logic_->BitBtn7Click(); break;
        case Control::BitBtn8: logic_->BitBtn8Click(); break;
        case Control::SpeedButton1: logic_->SpeedButton1Click(); break;
        default:
            if (Form1Control(control).kind == ControlKind::CheckBox) ClickCheckBox(control);
            break;
    }
}

void TForm1::ClickCheckBox(Control box) { logic_->CheckBoxClick(box); }

void TForm1::OnDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.hwndItem == statusBar_) {
        DrawStatusPanel(item);
        return;
    }
    const Control control = ControlOf(item.hwndItem);
    if (Form1Control(control).kind == ControlKind::Bevel) {
        RECT area = item.rcItem;
        FillRect(item.hDC, &area, faceBrush_);
        DrawEdge(item.hDC, &area, EDGE_ETCHED, BF_RECT);
    } else {
        DrawPicture(item, control);
    }
}

// The indicator's crop, already at the window's scale, from the top-left
// corner on the face colour.
void TForm1::DrawPicture(const DRAWITEMSTRUCT& item, Control picture) {
    FillRect(item.hDC, &item.rcItem, faceBrush_);
    const HBITMAP bitmap = picture == Control::Image1 ? ledDark_ : ledLit_;
    BITMAP size{};
    GetObjectW(bitmap, sizeof size, &size);
    HDC memory = CreateCompatibleDC(item.hDC);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(item.hDC, 0, 0, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void TForm1::DrawStatusPanel(const DRAWITEMSTRUCT& item) {
    RECT area = item.rcItem;
    FillRect(item.hDC, &area, statusBrush_);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
    const HGDIOBJ old = SelectObject(item.hDC, font_);
    area.left += Scale(2);
    DrawTextW(item.hDC, statusText_.c_str(), static_cast<int>(statusText_.size()), &area,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(item.hDC, old);
}

LRESULT TForm1::OnControlColour(HDC dc, HWND) {
    // Labels, boxes and frames on the button face; an opaque caption hides
    // the frame line it sits on.
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    return reinterpret_cast<LRESULT>(faceBrush_);
}

// Moved to a monitor of another scale (or the scale changed): Windows
// suggests the window scaled by the same factor; the window instead takes
// the scale that fits the new monitor, at the suggested place.
void TForm1::OnDpiChanged(WPARAM wParam, const RECT& suggested) {
    systemDpi_ = HIWORD(wParam);
    FitTo(MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST),
          POINT{suggested.left, suggested.top}, false);
}

Control TForm1::ControlOf(HWND control) const {
    for (const auto& [id, handle] : controls_) {
        if (handle == control) return id;
    }
    return Control::StatusBar1;
}

// ---- The counter field's exit and keyboard navigation -----------------------

// The exit runs when the focus is about to move from the counter field to
// another control of this window: by Tab, or by pressing a control that takes
// the focus (never the picture button, never another window). It runs before
// the control reacts; a refused number keeps the focus and swallows the key
// or the press.
bool TForm1::PreTranslate(MSG& message) {
    if (window_ == nullptr || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) {
        return false;
    }
    if (TabOutOfList(message)) return true;
    const HWND edit1 = controls_.at(Control::Edit1);
    if (logic_ != nullptr && GetFocus() == edit1) {
        const bool tab = message.message == WM_KEYDOWN && message.wParam == VK_TAB;
        const bool press =
            (message.message == WM_LBUTTONDOWN || message.message == WM_LBUTTONDBLCLK) &&
            message.hwnd != edit1;
        if (tab || press) {
            const HWND target =
                tab ? GetNextDlgTabItem(window_, edit1, GetKeyState(VK_SHIFT) < 0) : message.hwnd;
            if (target != edit1 && !LeaveCounterField(target)) return true;
        }
    }
    return IsDialogMessageW(window_, &message) != 0;
}

// A multi-line field keeps Tab for itself outside a dialog, so the keyboard
// could never leave the list: Tab moves on from it as from every other
// control (Ctrl+Tab is left to the field).
bool TForm1::TabOutOfList(const MSG& message) {
    const HWND memo = controls_.at(Control::Memo1);
    if (message.message != WM_KEYDOWN || message.wParam != VK_TAB || GetFocus() != memo ||
        GetKeyState(VK_CONTROL) < 0) {
        return false;
    }
    ::SetFocus(GetNextDlgTabItem(window_, memo, GetKeyState(VK_SHIFT) < 0));
    return true;
}

bool TForm1::LeaveCounterField(HWND target) {
    if (target == nullptr || !IsWindowEnabled(target) || !IsWindowVisible(target)) return true;
    const Control control = ControlOf(target);
    const ControlKind kind = Form1Control(control).kind;
    const bool takesFocus = kind == ControlKind::BitBtn || kind == ControlKind::CheckBox ||
                            kind == ControlKind::Memo || kind == ControlKind::Edit;
    if (!takesFocus) return true;
    return logic_->Edit1Exit();
}

// ---- MainView ---------------------------------------------------------------

void TForm1::SetVisible(Control control, bool visible) {
    ShowWindow(controls_.at(control), visible ? SW_SHOWNA : SW_HIDE);
}

void TForm1::SetEnabled(Control control, bool enabled) {
    EnableWindow(controls_.at(control), enabled ? TRUE : FALSE);
}

bool TForm1::IsChecked(Control box) const {
    return SendMessageW(controls_.at(box), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TForm1::SetChecked(Control box, bool checked) {
    // BM_SETCHECK sends no BN_CLICKED: the logic runs the handler itself.
    SendMessageW(controls_.at(box), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string TForm1::Text(Control control) const { return Utf8(WindowText(controls_.at(control))); }

void TForm1::SetText(Control control, const std::string& text) {
    SetWindowTextW(controls_.at(control), Wide(text).c_str());
}

void TForm1::SetFocus(Control control) { ::SetFocus(controls_.at(control)); }

void TForm1::RepaintNow(Control control) {
    const UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;
    if (control == Control::Image2)
        RedrawWindow(controls_.at(Control::Image1), nullptr, nullptr, flags);
    RedrawWindow(control == Control::StatusBar1 ? statusBar_ : controls_.at(control), nullptr,
                 nullptr, flags);
}

std::string TForm1::Caption() const { return Utf8(WindowText(window_)); }
void TForm1::SetCaption(const std::string& caption) {
    SetWindowTextW(window_, Wide(caption).c_str());
}
void TForm1::Minimize() { ShowWindow(window_, SW_MINIMIZE); }
void TForm1::CloseWindow() { DestroyWindow(window_); }

void TForm1::SetStatusText(const std::string& text) {
    statusText_ = Wide(text);
    InvalidateRect(statusBar_, nullptr, TRUE);
    annotations_.ChangeName(statusBar_, statusText_, kStatusPanel);
}

void TForm1::SetAccessibleName(Control control, const std::string& name) {
    annotations_.ChangeName(controls_.at(control), Wide(name));
}

void TForm1::Announce(const std::string& notice) { AnnounceNotice(window_, Wide(notice)); }

Rgb TForm1::StatusColor() const {
    return Rgb{GetRValue(statusColour_), GetGValue(statusColour_), GetBValue(statusColour_)};
}

void TForm1::SetStatusColor(Rgb color) {
    statusColour_ = RGB(color.red, color.green, color.blue);
    DeleteObject(statusBrush_);
    statusBrush_ = CreateSolidBrush(statusColour_);
    InvalidateRect(statusBar_, nullptr, TRUE);
}

// Lines as the box numbers them, wrapped parts counting as lines.
std::string TForm1::MemoLine(int index) const {
    const HWND memo = controls_.at(Control::Memo1);
    if (index < 0 || index >= SendMessageW(memo, EM_GETLINECOUNT, 0, 0)) return {};
    const auto start = static_cast<std::size_t>(SendMessageW(memo, EM_LINEINDEX, index, 0));
    const auto length = static_cast<std::size_t>(SendMessageW(memo, EM_LINELENGTH, start, 0));
    return Utf8(WindowText(memo).substr(start, length));
}

void TForm1::SetMemoLine(int index, const std::string& text) {
    const HWND memo = controls_.at(Control::Memo1);
    if (index < 0 || index >= SendMessageW(memo, EM_GETLINECOUNT, 0, 0)) return;
    const LRESULT start = SendMessageW(memo, EM_LINEINDEX, index, 0);
    const LRESULT length = SendMessageW(memo, EM_LINELENGTH, start, 0);
    SendMessageW(memo, EM_SETSEL, start, start + length);
    // Not undoable: captures rewrite lines all day long.
    SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

bool TForm1::IsTimerEnabled(Timer timer) const {
    return timer == Timer::Timer1 ? timer1On_ : timer2On_;
}

void TForm1::SetTimerEnabled(Timer timer, bool enabled) {
    const bool first = timer == Timer::Timer1;
    const UINT_PTR id = first ? kTimer1Id : kTimer2Id;
    const auto interval = first ? kTimer1Interval : kTimer2Interval;
    (first ? timer1On_ : timer2On_) = enabled;
    if (enabled) {
        // Setting an existing timer again starts its interval anew.
        SetTimer(window_, id, static_cast<UINT>(interval.count()), nullptr);
    } else {
        KillTimer(window_, id);
    }
}

void TForm1::ShowBox(const std::string& caption, const std::string& text) {
    // The box's own message loop keeps the timers ticking.
    centreHook = SetWindowsHookExW(WH_CBT, &CentreNewBox, nullptr, GetCurrentThreadId());
    boxAnnotations = &annotations_;
    MessageBoxW(window_, Wide(text).c_str(), Wide(caption).c_str(), MB_OK | MB_ICONERROR);
    boxAnnotations = nullptr;
    if (centreHook != nullptr) {
        UnhookWindowsHookEx(centreHook);
        centreHook = nullptr;
    }
}

void TForm1::ShowErrorBox(const std::string& text) {
    ShowBox(std::string(text::kErrorCaption), text);
}

void TForm1::ShowConversionErrorBox(const std::string& caption, const std::string& text) {
    ShowBox(caption, text);
}

void TForm1::ShowMakerInformation() {
    TForm2 form(instance_, window_, fontFace_, systemDpi_, bigIcon_, smallIcon_);
    form.ShowModal();
}

}  // namespace vm4417::ui
