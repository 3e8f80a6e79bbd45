// Keystrokes through SendInput into an edit control of this process under
// Wine and Xvfb. What arrives depends on the X keyboard map with Shift held:
// the suite runs once per map (tests/win32/with-keymap sets it and names it
// in VM4417_KEYMAP).

#include <windows.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "KeyTyping.h"
#include "win32/SendInputKeySink.h"
#include "win32/WideText.h"
#include "win32/Win32Clock.h"

namespace vm4417 {
namespace {

class TypingWindow {
public:
    TypingWindow() {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        window_ = CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE | ES_MULTILINE,
                                  40, 40, 500, 200, nullptr, nullptr, instance, nullptr);
        ShowWindow(window_, SW_SHOWNORMAL);
        SetForegroundWindow(window_);
        SetFocus(window_);
        Pump(std::chrono::milliseconds{300});
    }
    ~TypingWindow() { DestroyWindow(window_); }

    bool HasFocus() const { return GetFocus() == window_; }
    // Delivers what SendInput queued, for at least `time`.
    static void Pump(std::chrono::milliseconds time) {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            Sleep(5);
        }
    }
    std::string Text() const {
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window_)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            GetWindowTextW(window_, text.data(), static_cast<int>(text.size()))));
        return win32::Utf8(text);
    }

private:
    HWND window_ = nullptr;
};

struct Expected {
    const char* keymap;
    const char* text;
};

// Order 7, time 09:41:05, code 00000A1B2C3D, all typed with Shift held: on
// the US map the digits give their shifted symbols, on the Czech map the
// digits themselves; the keypad minus stays "-", Return ends the line.
constexpr Expected kExpected[] = {
    {"us", "&     )(-$!-)%     )))))A!B@C#D\r\n"},
    {"cz", "7     09-41-05     00000A1B2C3D\r\n"},
};

TEST(SendInputTyping, TheWholeCaptureArrivesAsTheKeyboardMapMakesIt) {
    const char* keymap = std::getenv("VM4417_KEYMAP");
    ASSERT_NE(keymap, nullptr) << "run through with-keymap";
    const Expected* expected = nullptr;
    for (const Expected& e : kExpected) {
        if (std::string(e.keymap) == keymap) expected = &e;
    }
    ASSERT_NE(expected, nullptr) << keymap;

    TypingWindow window;
    ASSERT_TRUE(window.HasFocus());
    SendInputKeySink keys;
    Win32Clock clock;
    const CaptureKeys capture{7, "09:41:05", "00000A1B2C3D", true, true};
    ASSERT_TRUE(TypeCapture(keys, clock, capture).typed);
    TypingWindow::Pump(std::chrono::milliseconds{500});
    EXPECT_EQ(window.Text(), expected->text);
    // Nothing stays held down.
    for (int key : {int{VK_SHIFT}, int{'0'}, int{'A'}, int{VK_SUBTRACT}}) {
        EXPECT_EQ(GetAsyncKeyState(key) & 0x8000, 0) << key;
    }
}

}  // namespace
}  // namespace vm4417
