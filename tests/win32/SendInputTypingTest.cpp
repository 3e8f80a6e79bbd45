// Keystrokes through SendInput into an edit control under Wine and Xvfb, with
// the operator's own keys pressed through SendInput as well: Windows keeps one
// key state for both, as it does for a physical keyboard. What arrives depends
// on the X keyboard map with Shift held: the suite runs once per map
// (tests/win32/with-keymap sets it and names it in VM4417_KEYMAP).

#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <future>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "ForwardingKeySink.h"
#include "KeyTyping.h"
#include "Texts.h"
#include "win32/ForegroundIntegrity.h"
#include "win32/ForegroundTarget.h"
#include "win32/SendInputKeySink.h"
#include "win32/WideText.h"
#include "win32/Win32Clock.h"

namespace vm4417 {
namespace {

using std::chrono::milliseconds;

// The focused application: an edit control on a thread of its own that
// handles its messages all the time, as another program's window does while
// the typing thread waits. It counts the key presses that would type
// something (all but Ctrl and Caps Lock, which the test presses itself).
class TargetApplication {
public:
    TargetApplication() {
        std::promise<void> ready;
        std::future<void> created = ready.get_future();
        thread_ = std::thread([this, &ready] { Run(ready); });
        created.wait();
    }
    ~TargetApplication() {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    TargetApplication(const TargetApplication&) = delete;
    TargetApplication& operator=(const TargetApplication&) = delete;

    bool HasFocus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetForegroundWindow() == window_ && GetGUIThreadInfo(threadId_, &info) &&
               info.hwndFocus == window_;
    }
    int TypingKeyPresses() const { return typingKeyPresses_; }
    std::string Text() const {
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window_)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            GetWindowTextW(window_, text.data(), static_cast<int>(text.size()))));
        return win32::Utf8(text);
    }
    // The text once it reads `expected`, or whatever it reads after a few
    // seconds of waiting for that.
    std::string TextWhenArrived(const std::string& expected) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds{5};
        while (Text() != expected && std::chrono::steady_clock::now() < end) Sleep(10);
        return Text();
    }
    // The text after the events sent so far had ample time to arrive.
    std::string TextAfterDelivery() const {
        Sleep(300);
        return Text();
    }
    void Clear() { SetWindowTextW(window_, L""); }
    // The X window that Wine shows the control in.
    std::uintptr_t XWindow() const {
        return reinterpret_cast<std::uintptr_t>(GetPropW(window_, L"__wine_x11_whole_window"));
    }

private:
    void Run(std::promise<void>& ready) {
        // A pop-up without a system menu: the Alt presses of the tests open
        // no menu that would take the following keys.
        window_ =
            CreateWindowExW(0, L"EDIT", L"", WS_POPUP | WS_BORDER | WS_VISIBLE | ES_MULTILINE, 40,
                            40, 500, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        threadId_ = GetCurrentThreadId();
        SetForegroundWindow(window_);
        SetFocus(window_);
        // Wine aligns its modifier keys with the X server's once a new window
        // has the X focus, letting go of any pressed through SendInput
        // meanwhile (it did so about 10 ms after the window appeared).
        HandleMessagesFor(milliseconds{300});
        ready.set_value();
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) Handle(message);
        DestroyWindow(window_);
    }
    void Handle(const MSG& message) {
        if (IsTypingKeyPress(message)) ++typingKeyPresses_;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    void HandleMessagesFor(milliseconds time) {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) Handle(message);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    static bool IsTypingKeyPress(const MSG& message) {
        if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;
        return message.wParam != VK_CONTROL && message.wParam != VK_CAPITAL;
    }

    std::thread thread_;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    std::atomic<int> typingKeyPresses_{0};
};

// What Windows shows while the test's target window has the keyboard, except
// that the window counts as another program's: it runs on a thread of this
// one, where the sink would take it for the program's own window.
win32::TargetReading ForeignTargetReading(win32::TargetParts parts) {
    win32::TargetReading reading = win32::ReadTarget(parts);
    reading.foregroundProcess = reading.ownProcess + 4;  // process ids go in fours
    return reading;
}

SendInputKeySink TypingSink(win32::IntegrityQuery integrity = win32::ReadIntegrity) {
    return SendInputKeySink(std::move(integrity), ForeignTargetReading);
}

bool IsDown(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }
bool CapsLockOn() { return (GetKeyState(VK_CAPITAL) & 1) != 0; }

void Inject(WORD virtualKey, DWORD flags, bool keyUp) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags | (keyUp ? KEYEVENTF_KEYUP : 0);
    ASSERT_EQ(SendInput(1, &input, sizeof input), 1u) << virtualKey;
}

// A key of the operator's keyboard, held from construction until Release()
// or the end of its scope.
class HeldKey {
public:
    explicit HeldKey(WORD virtualKey, DWORD flags = 0) : virtualKey_(virtualKey), flags_(flags) {
        Inject(virtualKey_, flags_, false);
    }
    ~HeldKey() { Release(); }
    HeldKey(HeldKey&& other) noexcept
        : virtualKey_(other.virtualKey_),
          flags_(other.flags_),
          down_(std::exchange(other.down_, false)) {}
    HeldKey& operator=(HeldKey&&) = delete;

    void Release() {
        if (std::exchange(down_, false)) Inject(virtualKey_, flags_, true);
    }

private:
    WORD virtualKey_;
    DWORD flags_;
    bool down_ = true;
};

// The operator holds Ctrl from construction and lets go of it `after` from a
// thread of their own, noting what the target had received by then.
class OperatorHoldsCtrl {
public:
    OperatorHoldsCtrl(const TargetApplication& target, milliseconds after)
        : ctrl_(VK_LCONTROL), thread_([this, &target, after] {
              Sleep(static_cast<DWORD>(after.count()));
              typingKeysBeforeRelease_ = target.TypingKeyPresses();
              heldUntilRelease_ = IsDown(VK_CONTROL);
              ctrl_.Release();
          }) {}
    ~OperatorHoldsCtrl() { LetGo(); }

    void LetGo() {
        if (thread_.joinable()) thread_.join();
    }
    int TypingKeysBeforeRelease() const { return typingKeysBeforeRelease_; }
    // Ctrl was still down when the operator let go: nothing else released it.
    bool HeldUntilRelease() const { return heldUntilRelease_; }

private:
    HeldKey ctrl_;
    int typingKeysBeforeRelease_ = -1;
    bool heldUntilRelease_ = false;
    std::thread thread_;
};

// Caps Lock as the operator set it, for one test; put back afterwards.
class OperatorCapsLock {
public:
    explicit OperatorCapsLock(bool on) : before_(CapsLockOn()) {
        if (before_ != on) Tap();
    }
    ~OperatorCapsLock() {
        if (CapsLockOn() != before_) Tap();
    }

private:
    static void Tap() {
        Inject(VK_CAPITAL, 0, false);
        Inject(VK_CAPITAL, 0, true);
    }
    bool before_;
};

// Order 7, time 09:41:05, code 00000A1B2C3D, all typed with Shift held: on
// the US and German maps the digits give their shifted symbols, on the Czech
// and French maps the digits themselves; the keypad minus stays "-", Return
// ends the line.
constexpr CaptureKeys kCapture{7, "09:41:05", "00000A1B2C3D", true, true};
struct Expected {
    const char* keymap;
    const char* text;
};
constexpr Expected kExpected[] = {
    {"us", "&     )(-$!-)%     )))))A!B@C#D\r\n"},
    {"cz", "7     09-41-05     00000A1B2C3D\r\n"},
    {"de", "/     =)-$!-=%     =====A!B\"C\u00a7D\r\n"},
    {"fr", "7     09-41-05     00000A1B2C3D\r\n"},
};

std::string ExpectedCapture() {
    const char* keymap = std::getenv("VM4417_KEYMAP");
    if (keymap == nullptr) return "(run through with-keymap)";
    for (const Expected& e : kExpected) {
        if (std::string(e.keymap) == keymap) return e.text;
    }
    return std::string("(no expected text for map ") + keymap + ")";
}

void ExpectNoModifierDown() {
    for (int key : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN}) {
        EXPECT_FALSE(IsDown(key)) << key;
    }
}

TEST(SendInputTyping, TheWholeCaptureArrivesAsTheKeyboardMapMakesIt) {
    TargetApplication target;
    ASSERT_TRUE(target.HasFocus());
    SendInputKeySink keys = TypingSink();
    Win32Clock clock;
    ASSERT_TRUE(TypeCapture(keys, clock, kCapture).typed);
    EXPECT_EQ(target.TextWhenArrived(ExpectedCapture()), ExpectedCapture());
    // Nothing stays held down.
    for (int key : {int{VK_SHIFT}, int{'0'}, int{'A'}, int{VK_SUBTRACT}}) {
        EXPECT_FALSE(IsDown(key)) << key;
    }
}

// By character, every map gives what the Czech one gives by key.
TEST(SendInputTyping, ExactCharactersArriveTheSameOnEveryMap) {
    TargetApplication target;
    ASSERT_TRUE(target.HasFocus());
    SendInputKeySink keys = TypingSink();
    Win32Clock clock;
    CaptureKeys capture = kCapture;
    capture.exactCharacters = true;
    ASSERT_TRUE(TypeCapture(keys, clock, capture).typed);
    const std::string expected = "7     09-41-05     00000A1B2C3D\r\n";
    EXPECT_EQ(target.TextWhenArrived(expected), expected);
    ExpectNoModifierDown();
}

// A chip read while the operator presses a shortcut, with Caps Lock on: the
// capture waits for Ctrl to go, arrives as with Caps Lock off, and leaves
// the operator's keyboard as it was.
TEST(SendInputTyping, WaitsForTheOperatorsCtrlAndTypesAsWithCapsLockOff) {
    TargetApplication target;
    ASSERT_TRUE(target.HasFocus());
    const OperatorCapsLock capsLock(true);
    ASSERT_TRUE(CapsLockOn());
    SendInputKeySink keys = TypingSink();
    Win32Clock clock;

    OperatorHoldsCtrl ctrl(target, milliseconds{700});
    ASSERT_TRUE(IsDown(VK_CONTROL));
    const TypingOutcome outcome = TypeCapture(keys, clock, kCapture);
    ctrl.LetGo();

    ASSERT_TRUE(ctrl.HeldUntilRelease());
    EXPECT_TRUE(outcome.typed) << outcome.problem;
    EXPECT_EQ(ctrl.TypingKeysBeforeRelease(), 0);
    EXPECT_EQ(target.TextWhenArrived(ExpectedCapture()), ExpectedCapture());
    ExpectNoModifierDown();
    EXPECT_TRUE(CapsLockOn());
}

TEST(SendInputTyping, CtrlHeldPastTheWaitTypesNothingAndSaysWhy) {
    TargetApplication target;
    ASSERT_TRUE(target.HasFocus());
    SendInputKeySink keys = TypingSink();
    Win32Clock clock;

    OperatorHoldsCtrl ctrl(target, kModifierReleaseWait + milliseconds{1000});
    const TypingOutcome outcome = TypeCapture(keys, clock, kCapture);
    ctrl.LetGo();

    ASSERT_TRUE(ctrl.HeldUntilRelease());
    EXPECT_FALSE(outcome.typed);
    EXPECT_EQ(outcome.problem, std::string(text::kKeyHeld) + "Ctrl");
    EXPECT_EQ(target.TextAfterDelivery(), "");
    EXPECT_EQ(target.TypingKeyPresses(), 0);
    ExpectNoModifierDown();
}

struct HeldCase {
    const char* name;
    std::vector<std::pair<WORD, DWORD>> keys;  // virtual key, SendInput flags
    std::uint8_t expected;
};

// Right-hand keys are told apart by the extended-key flag, as the keyboard
// reports them. AltGr reaches Windows as left Ctrl and right Alt together.
TEST(SendInputTyping, TheKeyboardNamesTheModifiersTheOperatorHolds) {
    TargetApplication target;
    ASSERT_TRUE(target.HasFocus());
    constexpr DWORD kExtended = KEYEVENTF_EXTENDEDKEY;
    const HeldCase cases[] = {
        {"nothing", {}, 0},
        {"left Ctrl", {{VK_LCONTROL, 0}}, held::Ctrl},
        {"right Ctrl", {{VK_RCONTROL, kExtended}}, held::Ctrl},
        {"left Alt", {{VK_LMENU, 0}}, held::Alt},
        {"AltGr", {{VK_LCONTROL, 0}, {VK_RMENU, kExtended}}, held::AltGr},
        {"right Alt alone", {{VK_RMENU, kExtended}}, held::AltGr},
        {"AltGr and right Ctrl",
         {{VK_LCONTROL, 0}, {VK_RMENU, kExtended}, {VK_RCONTROL, kExtended}},
         held::AltGr | held::Ctrl},
        {"left Windows key", {{VK_LWIN, kExtended}}, held::Super},
        {"right Windows key", {{VK_RWIN, kExtended}}, held::Super},
        {"Ctrl and Alt", {{VK_LCONTROL, 0}, {VK_LMENU, 0}}, held::Ctrl | held::Alt},
        {"Shift", {{VK_LSHIFT, 0}}, held::Shift},
    };
    SendInputKeySink keys;
    for (const HeldCase& c : cases) {
        std::vector<HeldKey> holding;
        for (const auto& [key, flags] : c.keys) holding.emplace_back(key, flags);
        EXPECT_EQ(keys.Keyboard().heldModifiers, c.expected) << c.name;
    }
    ExpectNoModifierDown();
}

struct IntegrityCase {
    const char* name;
    win32::IntegrityReading reading;
    bool typed;
};

// Typing into an application that runs above this one is refused before the
// first key, with the reason; at the same or a lower level it goes ahead.
TEST(SendInputTyping, AnApplicationAboveUsGetsNothingAndTheReason) {
    using namespace win32::integrity;
    const IntegrityCase cases[] = {
        {"elevated application", {Medium, High, false}, false},
        {"system process", {High, System, false}, false},
        {"same level", {Medium, Medium, false}, true},
        {"lower level", {High, Medium, false}, true},
        {"unreadable while not elevated", {Medium, std::nullopt, true}, false},
        {"unreadable while elevated", {High, std::nullopt, true}, true},
        {"no foreground window", {Medium, std::nullopt, false}, true},
    };
    TargetApplication target;
    ASSERT_TRUE(target.HasFocus());
    Win32Clock clock;
    constexpr CaptureKeys kShortCapture{1, "", "AB", false, false};
    for (const IntegrityCase& c : cases) {
        target.Clear();
        SendInputKeySink keys = TypingSink([&c] { return c.reading; });
        const TypingOutcome outcome = TypeCapture(keys, clock, kShortCapture);
        EXPECT_EQ(outcome.typed, c.typed) << c.name;
        if (c.typed) {
            EXPECT_EQ(target.TextWhenArrived("AB\r\n"), "AB\r\n") << c.name;
        } else {
            EXPECT_EQ(outcome.problem, text::kTargetElevated) << c.name;
            EXPECT_EQ(target.TextAfterDelivery(), "") << c.name;
        }
    }
}

enum class Foreground { Foreign, Ours, Unknown };

struct TargetCase {
    const char* name;
    Foreground foreground;
    win32::InputDesktop desktop;
    std::optional<bool> notifiedLock;
    std::string_view problem;  // empty: the capture is typed whole
};

win32::TargetReading ReadingOf(const TargetCase& c) {
    win32::TargetReading reading = ForeignTargetReading(win32::TargetParts::Whole);
    if (c.foreground == Foreground::Ours) reading.foregroundProcess = reading.ownProcess;
    if (c.foreground == Foreground::Unknown) reading = {nullptr, 0, reading.ownProcess, {}, {}};
    reading.inputDesktop = c.desktop;
    reading.notifiedLock = c.notifiedLock;
    return reading;
}

// A locked session or the program's own window in front gets no key at all,
// not even the Shift; what cannot be read stops nothing.
TEST(SendInputTyping, NoKeyGoesToALockedScreenOrTheProgramsOwnWindow) {
    const TargetCase cases[] = {
        {"the user's desktop", Foreground::Foreign, {L"Default"}, false, {}},
        {"the user's desktop in capitals", Foreground::Foreign, {L"DEFAULT"}, std::nullopt, {}},
        {"the lock screen's desktop",
         Foreground::Foreign,
         {L"Winlogon"},
         false,
         text::kSessionLocked},
        {"the input desktop refused",
         Foreground::Foreign,
         {L"", true},
         std::nullopt,
         text::kSessionLocked},
        {"a lock notified", Foreground::Foreign, {L"Default"}, true, text::kSessionLocked},
        {"this program's window in front",
         Foreground::Ours,
         {L"Default"},
         false,
         text::kFocusInOwnWindow},
        {"no window in front, nothing else readable", Foreground::Unknown, {}, std::nullopt, {}},
    };
    TargetApplication target;
    ASSERT_TRUE(target.HasFocus());
    Win32Clock clock;
    constexpr CaptureKeys kShortCapture{1, "", "AB", false, false};
    for (const TargetCase& c : cases) {
        target.Clear();
        const int pressesBefore = target.TypingKeyPresses();
        SendInputKeySink keys(win32::ReadIntegrity,
                              [&c](win32::TargetParts) { return ReadingOf(c); });
        const TypingOutcome outcome = TypeCapture(keys, clock, kShortCapture);
        EXPECT_EQ(outcome.problem, c.problem) << c.name;
        EXPECT_EQ(outcome.typed, c.problem.empty()) << c.name;
        if (c.problem.empty()) {
            EXPECT_EQ(target.TextWhenArrived("AB\r\n"), "AB\r\n") << c.name;
        } else {
            EXPECT_EQ(target.TextAfterDelivery(), "") << c.name;
            EXPECT_EQ(target.TypingKeyPresses(), pressesBefore) << c.name;
        }
    }
    ExpectNoModifierDown();
}

struct ChangeCase {
    const char* name;
    HWND foreground;         // in front from the seventh look on
    const wchar_t* desktop;  // the input desktop from then on
    std::string_view problem;
};

// The operator brings another window to the front while a capture is typed,
// or the session locks: the rest of it, the Enter included, goes nowhere, and
// no key stays down. The input desktop is read at the first look and again
// only once another window (or none) is in front, which is how a lock shows
// itself; it is then told as a lock.
TEST(SendInputTyping, AWindowChangeDuringACaptureStopsItWithNoKeyLeftDown) {
    const ChangeCase cases[] = {
        {"another window", GetDesktopWindow(), L"Default", text::kFocusMovedWhileTyping},
        {"the lock screen", nullptr, L"Winlogon", text::kSessionLocked},
    };
    TargetApplication target;
    ASSERT_TRUE(target.HasFocus());
    Win32Clock clock;
    const std::string code = "ABCDEF";
    for (const ChangeCase& c : cases) {
        target.Clear();
        int looks = 0;
        int wholeReadings = 0;
        SendInputKeySink keys(win32::ReadIntegrity, [&](win32::TargetParts parts) {
            win32::TargetReading reading = ForeignTargetReading(parts);
            if (parts == win32::TargetParts::Whole) ++wholeReadings;
            if (++looks > 6) {
                reading.foreground = c.foreground;
                if (parts == win32::TargetParts::Whole) reading.inputDesktop = {c.desktop};
            }
            return reading;
        });
        const TypingOutcome outcome = TypeCapture(keys, clock, {1, "", code, false, false});
        EXPECT_FALSE(outcome.typed) << c.name;
        EXPECT_EQ(outcome.problem, c.problem) << c.name;
        EXPECT_EQ(wholeReadings, 2) << c.name;
        const std::string typed = target.TextAfterDelivery();
        EXPECT_FALSE(typed.empty()) << c.name;
        EXPECT_LT(typed.size(), code.size()) << c.name;
        EXPECT_TRUE(code.starts_with(typed)) << c.name << ": " << typed;
        ExpectNoModifierDown();
        for (const char key : code) EXPECT_FALSE(IsDown(key)) << c.name << ": " << key;
    }
}

// The operator's keyboard is the X server's: xdotool, which Wine starts as
// it starts any Unix program, types into the X window that has the focus as
// a keyboard would. Wine gives no handle that waits for a Unix program, so
// callers wait for what its keys do.
void OperatorTypes(const std::wstring& xdotoolCommands) {
    std::wstring command = L"Z:\\usr\\bin\\xdotool " + xdotoolCommands;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << GetLastError();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

// Polls `done` until it holds, for a few seconds at most.
bool WaitUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds{5};
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        Sleep(5);
    }
    return true;
}

// The X keyboard focus on the target's window, as a window manager gives it
// to the active window (Xvfb has none, and Wine does not always set it for a
// new window). Done before a capture: Wine lets go of the keys pressed
// through SendInput when one of its windows gets the X focus. A space typed
// after it shows when the focus is there; it is cleared again.
bool OperatorFocuses(TargetApplication& target) {
    OperatorTypes(L"windowfocus --sync " + std::to_wstring(target.XWindow()) + L" key space");
    const bool focused = target.TextWhenArrived(" ") == " ";
    target.Clear();
    return focused;
}

// Lets go of the operator's Shift at the end of a case, whatever happened:
// also on the X keyboard, where it may be down while Windows shows it up.
class ShiftLetGoAtEnd {
public:
    ~ShiftLetGoAtEnd() {
        const bool down = IsDown(VK_SHIFT);
        OperatorTypes(L"keyup shift");
        if (down) {
            WaitUntil([] { return !IsDown(VK_SHIFT); });
        } else {
            Sleep(200);  // nothing on the Windows side to wait for
        }
    }
};

// A low-level hook of the test's own that notes the flags of every key
// event, on a thread of its own.
class KeyFlagsSeen {
public:
    KeyFlagsSeen() {
        std::promise<void> installed;
        std::future<void> ready = installed.get_future();
        thread_ = std::thread([this, &installed] {
            MSG message;
            PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
            threadId_ = GetCurrentThreadId();
            const HHOOK hook =
                SetWindowsHookExW(WH_KEYBOARD_LL, &Note, GetModuleHandleW(nullptr), 0);
            installed.set_value();
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {}
            UnhookWindowsHookEx(hook);
        });
        ready.wait();
    }
    ~KeyFlagsSeen() {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    KeyFlagsSeen(const KeyFlagsSeen&) = delete;
    KeyFlagsSeen& operator=(const KeyFlagsSeen&) = delete;

    static std::vector<DWORD> Flags() {
        const std::lock_guard lock(mutex_);
        return flags_;
    }

private:
    static LRESULT CALLBACK Note(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HC_ACTION) {
            const std::lock_guard lock(mutex_);
            flags_.push_back(reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam)->flags);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    std::thread thread_;
    DWORD threadId_ = 0;
    static inline std::mutex mutex_;
    static inline std::vector<DWORD> flags_;
};

// What the tests below take for the operator's keys reaches Windows as a
// keyboard's: not flagged as injected, as the program's own keys are.
TEST(SendInputTyping, KeysTypedIntoTheXServerReachWindowsAsAKeyboardsKeys) {
    TargetApplication target;
    ASSERT_TRUE(target.HasFocus());
    ASSERT_TRUE(OperatorFocuses(target));
    const KeyFlagsSeen seen;
    OperatorTypes(L"key p r o");
    EXPECT_EQ(target.TextWhenArrived("pro"), "pro");
    ASSERT_TRUE(WaitUntil([] { return KeyFlagsSeen::Flags().size() >= 6; }));
    const std::vector<DWORD> flags = KeyFlagsSeen::Flags();
    ASSERT_EQ(flags.size(), 6u);
    for (const DWORD f : flags) EXPECT_EQ(f & LLKHF_INJECTED, 0u) << std::hex << f;
}

// The capture's keys through the sink, while the operator types on the X
// keyboard: `during` as soon as the hold has begun; the capture's Enter
// waits until the hold has taken `presses` presses (for a few seconds at
// most), so that all of them fall within the capture.
class OperatorTypesMeanwhile final : public ForwardingKeySink {
public:
    OperatorTypesMeanwhile(SendInputKeySink& keys, std::wstring during, int presses)
        : keys_(keys), during_(std::move(during)), presses_(presses) {}

    OperatorKeys HoldOperatorKeys() override {
        const OperatorKeys held = keys_.HoldOperatorKeys();
        OperatorTypes(during_);
        return held;
    }
    bool Send(const KeyEvent& event) override {
        if (event.virtualKey == vk::Return && !event.keyUp) {
            allTakenBeforeEnter =
                WaitUntil([this] { return keys_.OperatorKeysSeen() >= presses_; });
        }
        const bool sent = keys_.Send(event);
        if (event.virtualKey == vk::Return && event.keyUp && afterEnter) afterEnter();
        return sent;
    }

    bool allTakenBeforeEnter = false;
    // Runs once the capture's Enter is in, before the look that decides
    // what becomes of the operator's keys.
    std::function<void()> afterEnter;

private:
    KeySink& Inner() const override { return keys_; }

    SendInputKeySink& keys_;
    std::wstring during_;
    int presses_;
};

struct OperatorCase {
    const char* name;
    const wchar_t* before;  // typed before the capture (empty: nothing)
    const wchar_t* during;
    int presses;  // key presses in `during`
    std::string after;
    bool shiftDownAfter;  // as the operator left it
};

// Keys the operator types while a capture is typed arrive after its Enter,
// in order and in their own case (the capture holds Shift meanwhile), and a
// Shift held through the capture or pressed during it is down afterwards
// until the operator lets go.
TEST(SendInputTyping, TheOperatorsKeysDuringACaptureFollowItsEnterAsTyped) {
    const OperatorCase cases[] = {
        {"a note typed on", L"", L"key shift+p r o space s k l a d", 10, "Pro sklad", false},
        {"Shift held from before the capture", L"keydown shift", L"key p r o", 3, "PRO", true},
        {"Shift pressed during the capture", L"", L"keydown shift key p", 2, "P", true},
    };
    TargetApplication target;
    ASSERT_TRUE(target.HasFocus());
    ASSERT_TRUE(OperatorFocuses(target));
    Win32Clock clock;
    for (const OperatorCase& c : cases) {
        const ShiftLetGoAtEnd letGo;
        target.Clear();
        if (*c.before != L'\0') {
            OperatorTypes(c.before);
            ASSERT_TRUE(WaitUntil([] { return IsDown(VK_SHIFT); })) << c.name;
        }
        SendInputKeySink keys = TypingSink();
        OperatorTypesMeanwhile operatorTyping(keys, c.during, c.presses);
        const TypingOutcome outcome = TypeCapture(operatorTyping, clock, kCapture);

        EXPECT_TRUE(outcome.typed) << c.name << ": " << outcome.problem;
        EXPECT_TRUE(operatorTyping.allTakenBeforeEnter) << c.name;
        EXPECT_EQ(outcome.operatorKeys, (OperatorKeysOutcome{c.presses, 0, 0})) << c.name;
        const std::string expected = ExpectedCapture() + c.after;
        EXPECT_EQ(target.TextWhenArrived(expected), expected) << c.name;
        EXPECT_EQ(IsDown(VK_SHIFT), c.shiftDownAfter) << c.name;
        for (const char key : std::string("PROSKLAD")) EXPECT_FALSE(IsDown(key)) << c.name;
    }
    EXPECT_FALSE(IsDown(VK_SHIFT));
}

struct ComeInFrontCase {
    const char* name;
    // The reading once it came; `foreground` is the target's window.
    std::function<win32::TargetReading(win32::TargetReading, win32::TargetParts)> came;
};

// Something comes in front between the capture's Enter and the end of the
// hold: the operator's keys are dropped (they would land on a lock screen,
// or press the focused button of the program's own window), told as
// dropped, and none is left down.
TEST(SendInputTyping, TheOperatorsKeysAreDroppedWhenTheyWouldGoElsewhere) {
    const ComeInFrontCase cases[] = {
        {"a lock screen: no foreground, the input on another desktop",
         [](win32::TargetReading reading, win32::TargetParts parts) {
             reading.foreground = nullptr;
             if (parts == win32::TargetParts::Whole) reading.inputDesktop = {L"Winlogon"};
             return reading;
         }},
        {"the program's own window",
         [](win32::TargetReading reading, win32::TargetParts parts) {
             reading.foreground = GetDesktopWindow();
             if (parts == win32::TargetParts::Whole) reading.foregroundProcess = reading.ownProcess;
             return reading;
         }},
    };
    TargetApplication target;
    ASSERT_TRUE(target.HasFocus());
    ASSERT_TRUE(OperatorFocuses(target));
    Win32Clock clock;
    for (const ComeInFrontCase& c : cases) {
        target.Clear();
        bool came = false;
        SendInputKeySink keys(win32::ReadIntegrity, [&](win32::TargetParts parts) {
            const win32::TargetReading reading = ForeignTargetReading(parts);
            return came ? c.came(reading, parts) : reading;
        });
        OperatorTypesMeanwhile operatorTyping(keys, L"key p r o", 3);
        operatorTyping.afterEnter = [&came] { came = true; };
        const TypingOutcome outcome = TypeCapture(operatorTyping, clock, kCapture);

        EXPECT_TRUE(outcome.typed) << c.name << ": " << outcome.problem;
        EXPECT_TRUE(operatorTyping.allTakenBeforeEnter) << c.name;
        EXPECT_EQ(outcome.operatorKeys, (OperatorKeysOutcome{0, 3, 0})) << c.name;
        EXPECT_EQ(target.TextWhenArrived(ExpectedCapture()), ExpectedCapture()) << c.name;
        EXPECT_EQ(target.TextAfterDelivery(), ExpectedCapture()) << c.name;
        for (const char key : std::string("PRO")) EXPECT_FALSE(IsDown(key)) << c.name << key;
        ExpectNoModifierDown();
    }
}

}  // namespace
}  // namespace vm4417
