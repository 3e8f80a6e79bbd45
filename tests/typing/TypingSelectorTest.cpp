// The choice among the ways of typing, with ways that only record what was
// asked of them.

#include <gtest/gtest.h>

#include "Texts.h"
#include "typing/TypingSelector.h"

namespace vm4417 {
namespace {

class FakeWay final : public TypingWay {
public:
    explicit FakeWay(bool usable) : usable_(usable) {}

    std::string Name() const override { return "fake"; }
    WayCheck Check() override {
        ++checks;
        return {usable_, "fake"};
    }
    void Prepare() override {
        ++prepares;
        SetState(answer);
    }
    WayStatus Status() const override { return {state_, {}}; }
    bool Begin() override { return state_ == WayState::Ready; }
    bool Send(const KeyEvent&) override { return state_ == WayState::Ready; }
    void SetExactCharacters(bool) override {}
    std::string Problem() const override { return {}; }
    std::chrono::milliseconds SettlingFor() override { return std::chrono::milliseconds{0}; }
    OperatorKeyboard Keyboard() override { return {}; }
    bool SuspendLocks() override { return true; }
    void RestoreLocks() override {}
    KeyTarget Target() override { return target; }
    OperatorKeys HoldOperatorKeys() override { return OperatorKeys::Unseen; }
    int OperatorKeysSeen() override { return 0; }
    OperatorKeysOutcome ReleaseOperatorKeys(bool) override { return {}; }

    void SetState(WayState state) {
        state_ = state;
        NotifyStatus();
    }
    void SetUsable(bool usable) { usable_ = usable; }

    WayState answer = WayState::Ready;  // what Prepare() ends in
    KeyTarget target;
    int checks = 0;
    int prepares = 0;

private:
    bool usable_;
    WayState state_ = WayState::Idle;
};

const TypingSession kX11{"x11", "XFCE", "", ":0"};
const TypingSession kWayland{"wayland", "sway", "wayland-1", ":0"};

struct Choice {
    const char* what;
    TypingSession session;
    bool virtualKeyboard, portal;  // usable
    WayRole chosen;
    bool onlyX;
};

TEST(TypingSelector, ChoosesTheFirstUsableWayOfTheSessionAndSetsUpOnlyThatOne) {
    const Choice choices[] = {
        {"X11 session", kX11, true, true, WayRole::XTest, false},
        {"wlroots", kWayland, true, true, WayRole::VirtualKeyboard, false},
        {"GNOME", kWayland, false, true, WayRole::Portal, false},
        {"neither", kWayland, false, false, WayRole::XTest, true},
    };
    for (const Choice& c : choices) {
        SCOPED_TRACE(c.what);
        FakeWay xtest(true), keyboard(c.virtualKeyboard), portal(c.portal);
        // Ready from the start, as XTest is; it is still set up, and starts
        // watching the X server then.
        xtest.SetState(WayState::Ready);
        TypingSelector selector(c.session, {xtest, keyboard, portal});
        selector.Prepare();
        EXPECT_EQ(selector.ChosenRole(), c.chosen);
        EXPECT_EQ(selector.ReachesOnlyXApplications(), c.onlyX);
        EXPECT_EQ(xtest.prepares + keyboard.prepares + portal.prepares, 1);
        // A usable virtual keyboard spares the portal's check (a D-Bus start).
        EXPECT_EQ(portal.checks, c.chosen == WayRole::Portal || c.onlyX ? 1 : 0);
        EXPECT_TRUE(selector.Begin());
    }
}

TEST(TypingSelector, KeepsAReadyWayAndSetsUpARefusedOrLastResortOneAnew) {
    FakeWay xtest(true), keyboard(false), portal(true);
    TypingSelector selector(kWayland, {xtest, keyboard, portal});
    int told = 0;
    selector.SetStatusListener([&] { ++told; });

    portal.answer = WayState::Refused;
    selector.Prepare();
    EXPECT_FALSE(selector.Begin());
    // Only the next switch of typing asks again.
    portal.answer = WayState::Ready;
    selector.Prepare();
    EXPECT_EQ(portal.prepares, 2);
    selector.Prepare();
    EXPECT_EQ(portal.prepares, 2) << "a ready session must not be asked for again";
    EXPECT_TRUE(selector.Begin());

    const int toldBefore = told;
    xtest.SetState(WayState::Failed);  // not the chosen way
    EXPECT_EQ(told, toldBefore);
    portal.SetState(WayState::Failed);
    EXPECT_EQ(told, toldBefore + 1);

    // A desktop with no way yet falls back to XTest; the next switch looks
    // for a better way again.
    portal.SetUsable(false);
    selector.Prepare();
    EXPECT_TRUE(selector.ReachesOnlyXApplications());
    portal.SetUsable(true);
    selector.Prepare();
    EXPECT_EQ(selector.ChosenRole(), WayRole::Portal);
}

// A way the desktop ended after it worked (GNOME at every lock) comes back
// by itself once the session is unlocked, or at the next capture, but never
// while the session is locked and once per unlock at most.
TEST(TypingSelector, BringsBackAWayTheDesktopEndedOncePerUnlock) {
    FakeWay xtest(true), keyboard(false), portal(true);
    TypingSelector selector(kWayland, {xtest, keyboard, portal});
    std::optional<bool> locked = false;
    selector.SetTargetSigns([&] { return KeyTarget{std::nullopt, false, locked}; });
    selector.Prepare();
    ASSERT_TRUE(selector.Begin());

    locked = true;
    portal.SetState(WayState::Failed);
    EXPECT_FALSE(selector.Begin());
    EXPECT_EQ(selector.Problem(), text::kSessionLocked);
    selector.Unlocked();  // a stale signal: still locked
    EXPECT_EQ(portal.prepares, 1) << "set up while locked";

    locked = false;
    portal.answer = WayState::Preparing;
    selector.Unlocked();
    EXPECT_EQ(portal.prepares, 2);
    EXPECT_FALSE(selector.Begin());
    EXPECT_EQ(selector.Problem(), text::kTypingResuming);

    // The desktop said no meanwhile: not asked again until the next unlock.
    portal.SetState(WayState::Failed);
    EXPECT_FALSE(selector.Begin());
    EXPECT_EQ(portal.prepares, 2);
    portal.answer = WayState::Ready;
    selector.Unlocked();
    EXPECT_EQ(portal.prepares, 3);
    EXPECT_TRUE(selector.Begin());

    // Without an unlock (no logind), the next capture brings it back.
    portal.SetState(WayState::Failed);
    EXPECT_TRUE(selector.Begin());
    EXPECT_EQ(portal.prepares, 4);

    // A refusal is the operator's answer: only the check box asks again.
    portal.answer = WayState::Refused;
    portal.SetState(WayState::Failed);
    EXPECT_FALSE(selector.Begin());
    EXPECT_EQ(portal.prepares, 5);
    selector.Unlocked();
    EXPECT_FALSE(selector.Begin());
    EXPECT_EQ(portal.prepares, 5);
}

// The way's own view of the focus stands; the desktop adds what it cannot see.
TEST(TypingSelector, AddsTheDesktopsSignsToWhatTheWaySees) {
    FakeWay xtest(true), keyboard(false), portal(false);
    TypingSelector selector(kX11, {xtest, keyboard, portal});
    selector.Prepare();
    selector.SetTargetSigns([] { return KeyTarget{std::nullopt, true, true}; });
    xtest.target = KeyTarget{7, false, std::nullopt};
    EXPECT_EQ(selector.Target(), (KeyTarget{7, false, true}));
    xtest.target = KeyTarget{};
    EXPECT_EQ(selector.Target(), (KeyTarget{std::nullopt, true, true}));
    selector.SetTargetSigns([] { return KeyTarget{std::nullopt, std::nullopt, false}; });
    xtest.target = KeyTarget{7, std::nullopt, true};
    EXPECT_EQ(selector.Target(), (KeyTarget{7, std::nullopt, true})) << "a lock either sees counts";
}

}  // namespace
}  // namespace vm4417
