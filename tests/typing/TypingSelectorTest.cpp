// The choice among the ways of typing, with ways that only record what was
// asked of them.

#include <gtest/gtest.h>

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

    void SetState(WayState state) {
        state_ = state;
        NotifyStatus();
    }
    void SetUsable(bool usable) { usable_ = usable; }

    WayState answer = WayState::Ready;  // what Prepare() ends in
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

}  // namespace
}  // namespace vm4417
