// Typing through XTest into a window of the test's own on a private Xvfb,
// with the real clock: what arrives is what a focused application receives.

// GoogleTest and the program's headers before Xlib, whose macros (None,
// Bool, Status) clash with their names.
#include <gtest/gtest.h>

#include "KeyTyping.h"
#include "posix/SystemClock.h"
#include "x11/XTestKeySink.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "XvfbServer.h"

namespace vm4417 {
namespace {

struct Received {
    bool press = false;
    KeyCode keycode = 0;
    bool shiftHeld = false;  // ShiftMask in the state, i.e. before this event
    Time time = 0;           // server time in ms
    std::string text;        // XLookupString of a press
};

// A top-level window of the test's own, on a connection of its own, that
// takes the keyboard focus (no window manager runs) and records key events.
class FocusWindow {
public:
    explicit FocusWindow(const std::string& displayName) : d_(XOpenDisplay(displayName.c_str())) {
        if (d_ == nullptr) return;
        window_ = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 200, 100, 0, 0, 0);
        XSelectInput(d_, window_, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
        // Without this Xlib would go on using the map it loaded first.
        XkbSelectEvents(d_, XkbUseCoreKbd, XkbNewKeyboardNotifyMask, XkbNewKeyboardNotifyMask);
        XMapWindow(d_, window_);
        XEvent event;
        do XNextEvent(d_, &event);
        while (event.type != MapNotify);
        XSetInputFocus(d_, window_, RevertToParent, CurrentTime);
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(d_, &focus, &revert);
        focused_ = focus == window_;
    }
    ~FocusWindow() {
        if (d_ != nullptr) XCloseDisplay(d_);
    }
    FocusWindow(const FocusWindow&) = delete;
    FocusWindow& operator=(const FocusWindow&) = delete;

    bool focused() const { return focused_; }
    Display* display() const { return d_; }
    KeyCode ShiftKey() const { return XKeysymToKeycode(d_, XK_Shift_L); }

    // The key events that have arrived so far. Xlib applies a new keyboard
    // map as its event comes in, so the text is that of the map in force.
    std::vector<Received> Take() {
        std::vector<Received> events;
        XSync(d_, False);
        while (XPending(d_) > 0) {
            XEvent e;
            XNextEvent(d_, &e);
            // A key given a keysym for the moment (typing by character).
            if (e.type == MappingNotify) XRefreshKeyboardMapping(&e.xmapping);
            if (e.type != KeyPress && e.type != KeyRelease) continue;
            Received r{e.type == KeyPress,
                       static_cast<KeyCode>(e.xkey.keycode),
                       (e.xkey.state & ShiftMask) != 0,
                       e.xkey.time,
                       {}};
            char text[16];
            const int n = r.press ? XLookupString(&e.xkey, text, sizeof text, nullptr, nullptr) : 0;
            r.text.assign(text, static_cast<std::size_t>(std::max(n, 0)));
            events.push_back(r);
        }
        return events;
    }

    // The unshifted keysym names of the pressed keys other than Shift.
    std::string PressedKeys(const std::vector<Received>& events) const {
        std::string names;
        for (const Received& r : events) {
            if (!r.press || r.keycode == ShiftKey()) continue;
            const char* name = XKeysymToString(XkbKeycodeToKeysym(d_, r.keycode, 0, 0));
            names += (names.empty() ? "" : " ") + std::string(name ? name : "?");
        }
        return names;
    }

private:
    Display* d_;
    Window window_ = 0;
    bool focused_ = false;
};

std::string Text(const std::vector<Received>& events) {
    std::string text;
    for (const Received& r : events) text += r.text;
    return text;
}

// What holds for every typed capture: Shift goes down first, every other key
// but Enter is pressed with Shift held, each press is released before the
// next key goes down, Shift ends up released and no key stays down.
void ExpectWellFormed(const std::vector<Received>& events, KeyCode shift, Display* display) {
    ASSERT_FALSE(events.empty());
    EXPECT_TRUE(events.front().press && events.front().keycode == shift);
    std::optional<bool> shiftWentDown;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Received& r = events[i];
        if (r.keycode == shift) shiftWentDown = r.press;
        if (r.keycode == shift || !r.press) continue;
        ASSERT_LT(i + 1, events.size());
        EXPECT_TRUE(!events[i + 1].press && events[i + 1].keycode == r.keycode) << "press " << i;
        EXPECT_EQ(r.shiftHeld, r.text != "\r") << "press " << i << " '" << r.text << "'";
    }
    EXPECT_EQ(shiftWentDown, false);
    char keys[32];
    XQueryKeymap(display, keys);
    EXPECT_TRUE(std::all_of(std::begin(keys), std::end(keys), [](char k) { return k == 0; }))
        << "a key is still down";
}

class XTestTyping : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb_.Start()) << "Xvfb: " << xvfb_.Error();
        window_.emplace(xvfb_.DisplayName());
        ASSERT_TRUE(window_->focused()) << "the test window did not get the focus";
    }

    std::vector<Received> Type(XTestKeySink& sink, std::string_view code, bool options) {
        const CaptureKeys capture{7, "09:41:05", code, options, options};
        EXPECT_TRUE(TypeCapture(sink, clock_, capture).typed) << code;
        auto events = window_->Take();
        ExpectWellFormed(events, window_->ShiftKey(), window_->display());
        return events;
    }
    std::vector<Received> Type(std::string_view code, bool options) {
        XTestKeySink sink(xvfb_.DisplayName());
        return Type(sink, code, options);
    }

    test::XvfbServer xvfb_;
    std::optional<FocusWindow> window_;
    SystemClock clock_;
};

TEST_F(XTestTyping, ExampleWithBothOptionsArrivesShiftedOnTheUsMap) {
    const auto events = Type("00000A1B2C3D", true);
    EXPECT_EQ(Text(events), "&     )(-$!-)%     )))))A!B@C#D\r");
}

TEST_F(XTestTyping, CodeAloneIsTypedWithShiftHeldAndEnterWithout) {
    const auto events = Type("00000A1B2C3D", false);
    EXPECT_EQ(Text(events), ")))))A!B@C#D\r");
    // The pauses are real: 16 of 30 ms lie between the first and the last
    // event (the 17th follows the Enter release).
    const Time span = events.back().time - events.front().time;
    EXPECT_GE(span, 16 * 30 - 2);
    EXPECT_LT(span, 16 * 30 + 1000);
}

TEST_F(XTestTyping, LowerCaseHexUsesLetterKeysAndMinusUsesTheKeypad) {
    const auto hex = Type("00000a1b2c3d", false);
    EXPECT_EQ(Text(hex), ")))))A!B@C#D\r");
    EXPECT_EQ(window_->PressedKeys(hex), "0 0 0 0 0 a 1 b 2 c 3 d Return");

    const auto negative = Type("-16", false);
    EXPECT_EQ(Text(negative), "-!^\r");
    EXPECT_EQ(window_->PressedKeys(negative), "KP_Subtract 1 6 Return");
}

TEST_F(XTestTyping, KeysWithoutAMappingAreRefused) {
    XTestKeySink sink(xvfb_.DisplayName());
    EXPECT_FALSE(sink.Send(KeyEvent{'A', false})) << "before Begin()";
    ASSERT_TRUE(sink.Begin());
    // Insert, Delete, keypad 1, F1, the main-block minus.
    for (std::uint8_t unmapped : {0x2D, 0x2E, 0x61, 0x70, 0xBD}) {
        EXPECT_FALSE(sink.Send(KeyEvent{unmapped, false})) << int{unmapped};
    }
    EXPECT_EQ(window_->PressedKeys(window_->Take()), "");
}

TEST_F(XTestTyping, CzechMapGivesDigitsWithShiftAndIsPickedUpByALiveSink) {
    XTestKeySink sink(xvfb_.DisplayName());
    ASSERT_TRUE(sink.Begin());  // resolved on the US map first
    Display* display = window_->display();
    const KeyCode digitOne = XKeysymToKeycode(display, XK_1);

    const std::string command = "setxkbmap -display " + xvfb_.DisplayName() + " cz";
    if (const int status = std::system(command.c_str()); status != 0) {
        GTEST_SKIP() << "'" << command << "' failed with status " << status;
    }
    window_->Take();  // applies the map change to the test's own connection
    const KeySym unshifted = XkbKeycodeToKeysym(display, digitOne, 0, 0);
    const KeySym shifted = XkbKeycodeToKeysym(display, digitOne, 0, 1);
    if (unshifted == XK_1 || shifted != XK_1) {
        GTEST_SKIP() << "the server's map did not change to Czech: the digit-row key "
                     << int{digitOne} << " gives " << XKeysymToString(unshifted) << " / "
                     << XKeysymToString(shifted);
    }

    // Z and Y swap places on this map; the sink follows the map at once.
    EXPECT_EQ(Text(Type(sink, "ZY", false)), "ZY\r");
    EXPECT_EQ(Text(Type(sink, "00000A1B2C3D", true)), "7     09-41-05     00000A1B2C3D\r");
}

// The operator's own keyboard on the Czech map, played with xdotool (XTest,
// like the program; Xvfb has no other keyboard, and the server's XKB state
// merges all of them alike): a modifier held at the moment of the chip and
// let go a second later, and Caps Lock.
class OperatorKeyboardTyping : public XTestTyping {
protected:
    void SetUp() override {
        XTestTyping::SetUp();
        if (HasFatalFailure()) return;
        if (Xdotool("version >/dev/null") != 0) GTEST_SKIP() << "no xdotool";
        const std::string command = "setxkbmap -display " + xvfb_.DisplayName() + " cz";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        window_->Take();
        sink_.emplace(xvfb_.DisplayName());
    }
    int OperatorKeys(const std::string& arguments) {
        const std::string command =
            "DISPLAY=" + xvfb_.DisplayName() + " " X_OPERATOR_KEYS " " + arguments + " >/dev/null";
        return std::system(command.c_str());
    }
    int Xdotool(const std::string& arguments) {
        const std::string command = "DISPLAY=" + xvfb_.DisplayName() + " xdotool " + arguments;
        return std::system(command.c_str());
    }
    XkbStateRec State() {
        XkbStateRec state{};
        XkbGetState(window_->display(), XkbUseCoreKbd, &state);
        return state;
    }
    // The capture's key events, without the operator's own.
    std::vector<Received> Typed(const std::vector<Received>& events, KeySym operatorKey) {
        const KeyCode own = XKeysymToKeycode(window_->display(), operatorKey);
        std::vector<Received> typed;
        for (const Received& r : events) {
            if (r.keycode != own) typed.push_back(r);
        }
        return typed;
    }
    Time ReleaseTime(const std::vector<Received>& events, KeySym key) {
        const KeyCode code = XKeysymToKeycode(window_->display(), key);
        for (const Received& r : events) {
            if (!r.press && r.keycode == code) return r.time;
        }
        return 0;
    }

    std::optional<XTestKeySink> sink_;
};

TEST_F(OperatorKeyboardTyping, AModifierHeldAtTheChipIsWaitedOutAndNeverCombinesWithTheKeys) {
    for (const char* modifier : {"Control_L", "Alt_L", "ISO_Level3_Shift"}) {
        SCOPED_TRACE(modifier);
        ASSERT_EQ(Xdotool(std::string("keydown ") + modifier), 0);
        // Let go a second later, while the capture waits.
        ASSERT_EQ(Xdotool(std::string("sleep 1 keyup ") + modifier + " &"), 0);
        ASSERT_TRUE(sink_->Begin());
        const TypingOutcome outcome =
            TypeCapture(*sink_, clock_, {7, "09:41:05", "00000A1B2C3D", true, true});
        EXPECT_TRUE(outcome.typed) << outcome.problem;
        const auto events = window_->Take();
        const KeySym key = XStringToKeysym(modifier);
        const auto typed = Typed(events, key);
        EXPECT_EQ(Text(typed), "7     09-41-05     00000A1B2C3D\r");
        ExpectWellFormed(typed, window_->ShiftKey(), window_->display());
        ASSERT_FALSE(typed.empty());
        EXPECT_GE(typed.front().time, ReleaseTime(events, key)) << "a key went before the release";
        EXPECT_EQ(State().base_mods, 0) << "a modifier is left down";
    }
}

TEST_F(OperatorKeyboardTyping, AModifierHeldPastTheWaitTypesNothingAndStaysTheOperators) {
    ASSERT_EQ(Xdotool("keydown Control_L"), 0);
    ASSERT_TRUE(sink_->Begin());
    const TypingOutcome outcome = TypeCapture(*sink_, clock_, {7, "09:41:05", "00000A1B2C3D"});
    EXPECT_FALSE(outcome.typed);
    EXPECT_EQ(outcome.problem, "je stisknutá klávesa Ctrl");
    EXPECT_EQ(Typed(window_->Take(), XK_Control_L).size(), 0u);
    EXPECT_EQ(State().base_mods, ControlMask) << "the operator still holds Ctrl";
    ASSERT_EQ(Xdotool("keyup Control_L"), 0);
}

// Keys the operator types on a keyboard of their own while a capture is
// being typed are held back and arrive after its Enter, in order and as
// typed (not under the capture's Shift).
TEST_F(OperatorKeyboardTyping, TheOperatorsKeysArriveAfterTheCaptureAsTyped) {
    ASSERT_EQ(OperatorKeys("--after 150 --every 40 type 'pozn Ka' &"), 0);
    TypingOutcome outcome =
        TypeCapture(*sink_, clock_, {7, "09:41:05", "00000A1B2C3D", true, true});
    ASSERT_TRUE(outcome.typed) << outcome.problem;
    EXPECT_EQ(outcome.operatorKeys.delivered, 8) << "p o z n space Shift k a";
    auto events = window_->Take();
    EXPECT_EQ(Text(events), "7     09-41-05     00000A1B2C3D\rpozn Ka");
    EXPECT_EQ(State().base_mods, 0) << "a modifier is left down";

    // A key held down at the touch is waited for, so that its release is not
    // held back with the rest: the capture's own press of that key (the A)
    // would otherwise be taken for a repeat and lost.
    ASSERT_EQ(OperatorKeys("press a"), 0);
    window_->Take();
    ASSERT_EQ(OperatorKeys("--after 200 release a &"), 0);
    outcome = TypeCapture(*sink_, clock_, {7, "09:41:05", "00000A1B2C3D"});
    ASSERT_TRUE(outcome.typed) << outcome.problem;
    events = window_->Take();
    ASSERT_FALSE(events.empty());
    EXPECT_FALSE(events.front().press) << "the operator's release comes first";
    EXPECT_EQ(Text(events), "00000A1B2C3D\r");
    char keys[32];
    XQueryKeymap(window_->display(), keys);
    EXPECT_TRUE(std::all_of(std::begin(keys), std::end(keys), [](char k) { return k == 0; }))
        << "a key is still down";
}

TEST_F(OperatorKeyboardTyping, CapsLockLeavesTheCharactersAloneAndStaysOn) {
    ASSERT_EQ(Xdotool("key Caps_Lock"), 0);
    ASSERT_EQ(State().locked_mods & LockMask, LockMask);
    window_->Take();
    for (const bool exact : {false, true}) {
        SCOPED_TRACE(exact ? "by character" : "by key");
        CaptureKeys keys{7, "09:41:05", "00000A1B2C3D", true, true};
        keys.exactCharacters = exact;
        EXPECT_TRUE(TypeCapture(*sink_, clock_, keys).typed);
        const auto events = window_->Take();
        EXPECT_EQ(Text(events), "7     09-41-05     00000A1B2C3D\r");
        if (!exact) ExpectWellFormed(events, window_->ShiftKey(), window_->display());
        EXPECT_EQ(State().locked_mods & LockMask, LockMask) << "Caps Lock is the operator's again";
        EXPECT_EQ(State().base_mods, 0);
    }
}

// Typing by character: the same text arrives on every layout, in the group
// in force, with keys that the layout lacks put on a spare key.
struct Layout {
    const char* name;
    const char* setxkbmap;
    int group;  // locked after the map is set
};

class ExactCharacters : public XTestTyping, public ::testing::WithParamInterface<Layout> {};

TEST_P(ExactCharacters, TheSameTextArrivesOnEveryLayout) {
    const Layout& layout = GetParam();
    const std::string command =
        "setxkbmap -display " + xvfb_.DisplayName() + " " + layout.setxkbmap;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    Display* display = window_->display();
    if (layout.group != 0) {
        ASSERT_TRUE(XkbLockGroup(display, XkbUseCoreKbd, layout.group));
        XSync(display, False);
    }
    window_->Take();
    XTestKeySink sink(xvfb_.DisplayName());
    // Twice: the second capture takes the first one's spare keys off first.
    for (int capture = 0; capture < 2; ++capture) {
        CaptureKeys keys{7, "09:41:05", "00000A1B2C3D", true, true};
        keys.exactCharacters = true;
        ASSERT_TRUE(TypeCapture(sink, clock_, keys).typed);
        const auto events = window_->Take();
        EXPECT_EQ(Text(events), "7     09-41-05     00000A1B2C3D\r") << "capture " << capture;
        char down[32];
        XQueryKeymap(display, down);
        EXPECT_TRUE(std::all_of(std::begin(down), std::end(down), [](char k) { return k == 0; }))
            << "a key is still down";
    }
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    EXPECT_EQ(state.group, layout.group) << "the operator's layout stays in force";
}

INSTANTIATE_TEST_SUITE_P(Layouts, ExactCharacters,
                         ::testing::Values(Layout{"us", "us", 0}, Layout{"de", "de", 0},
                                           Layout{"fr", "fr", 0}, Layout{"cz", "cz", 0},
                                           Layout{"cz_us_on_us", "cz,us", 1},
                                           Layout{"ru_no_latin", "ru", 0}),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             return std::string(info.param.name);
                         });

TEST(XTestKeySinkConnection, NoDisplayMeansFalseNotACrash) {
    XTestKeySink missing(":999");
    EXPECT_FALSE(missing.Begin());
    EXPECT_FALSE(missing.Send(KeyEvent{'A', false}));

    const char* saved = std::getenv("DISPLAY");
    const std::string display = saved ? saved : "";
    unsetenv("DISPLAY");
    XTestKeySink fromEnvironment;
    EXPECT_FALSE(fromEnvironment.Begin());
    if (saved) setenv("DISPLAY", display.c_str(), 1);
}

TEST(XTestKeySinkConnection, ServerGoneMeansFalseAndARestartIsReconnected) {
    test::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.Start()) << "Xvfb: " << xvfb.Error();
    const int number = xvfb.Number();
    XTestKeySink sink(xvfb.DisplayName());
    ASSERT_TRUE(sink.Begin());
    ASSERT_TRUE(sink.Send(KeyEvent{'A', false}));

    xvfb.Stop();
    EXPECT_FALSE(sink.Send(KeyEvent{'A', true}));
    EXPECT_FALSE(sink.Begin());
    EXPECT_FALSE(sink.Send(KeyEvent{'A', true}));

    ASSERT_TRUE(xvfb.Start(number)) << "Xvfb: " << xvfb.Error();
    EXPECT_TRUE(sink.Begin());
    EXPECT_TRUE(sink.Send(KeyEvent{'A', false}));
    EXPECT_TRUE(sink.Send(KeyEvent{'A', true}));
}

}  // namespace
}  // namespace vm4417
