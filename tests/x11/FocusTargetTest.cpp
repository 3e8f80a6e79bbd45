// What the X server's readings mean for where a capture's keys go, from
// plain readings: the focus events that lockers, menus and viewers cause,
// and the look that decides.

#include <gtest/gtest.h>

#include <cctype>
#include <vector>

// After GoogleTest, whose own None the X headers' macro would replace.
#include <X11/X.h>

#include "x11/FocusTarget.h"

namespace vm4417::x11 {
namespace {

constexpr std::uint64_t kTopLevel = 0x200031, kOther = 0x400007, kRoot = 0x51b;

FocusChange OnChild(bool in, int mode, int detail, std::uint64_t window = kTopLevel) {
    return {in, false, mode, detail, window};
}
FocusChange OnRoot(bool in, int mode, int detail) { return {in, true, mode, detail, kRoot}; }

struct GrabCase {
    const char* what;
    KeyboardGrab before;
    std::vector<FocusChange> events;  // as the focused window's top-level and the root get them
    KeyboardGrab after;
};

class GrabEvents : public ::testing::TestWithParam<GrabCase> {};

TEST_P(GrabEvents, TellWhoHoldsTheKeyboard) {
    GrabSeen seen{GetParam().before, 0};
    for (const FocusChange& event : GetParam().events) seen = AfterFocusChange(seen, event);
    EXPECT_EQ(seen.grab, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Lockers, GrabEvents,
                         ::testing::Values(
                             // i3lock grabs on the root: the focus's top-level is left for an
                             // ancestor, and the root gets the focus of the grab.
                             GrabCase{"a grab on the root",
                                      KeyboardGrab::Free,
                                      {OnChild(false, NotifyGrab, NotifyVirtual),
                                       OnRoot(true, NotifyGrab, NotifyInferior)},
                                      KeyboardGrab::Elsewhere},
                             GrabCase{"its end",
                                      KeyboardGrab::Elsewhere,
                                      {OnRoot(false, NotifyUngrab, NotifyInferior),
                                       OnChild(true, NotifyUngrab, NotifyVirtual)},
                                      KeyboardGrab::Free},
                             // A locker grabbing on a window of its own (xsecurelock's), a menu of
                             // another application: the top-level is left for another tree.
                             GrabCase{"a grab on another tree",
                                      KeyboardGrab::Free,
                                      {OnChild(false, NotifyGrab, NotifyNonlinearVirtual)},
                                      KeyboardGrab::Elsewhere},
                             // A viewer grabbing inside its own focused window: its top-level is
                             // not left, and a grab on the very window that has the focus shows
                             // nothing at all, or (Xwayland) the focus leaving that window and
                             // coming back to it with the grab.
                             GrabCase{"a grab inside the focused tree",
                                      KeyboardGrab::Free,
                                      {OnChild(true, NotifyGrab, NotifyInferior)},
                                      KeyboardGrab::Free},
                             GrabCase{"a grab on the focused window itself",
                                      KeyboardGrab::Free,
                                      {OnChild(false, NotifyGrab, NotifyNonlinear),
                                       OnChild(true, NotifyGrab, NotifyNonlinear)},
                                      KeyboardGrab::OwnTree},
                             GrabCase{"a grab on another window the focus goes to",
                                      KeyboardGrab::Free,
                                      {OnChild(false, NotifyGrab, NotifyNonlinearVirtual),
                                       OnChild(true, NotifyGrab, NotifyNonlinear, kOther)},
                                      KeyboardGrab::Elsewhere},
                             GrabCase{"a normal focus change",
                                      KeyboardGrab::Unknown,
                                      {OnChild(false, NotifyNormal, NotifyNonlinearVirtual)},
                                      KeyboardGrab::Free},
                             GrabCase{"the focus moved during a grab not seen",
                                      KeyboardGrab::Free,
                                      {OnChild(false, NotifyWhileGrabbed, NotifyNonlinearVirtual)},
                                      KeyboardGrab::Unknown},
                             GrabCase{"the focus moved during a locker's grab",
                                      KeyboardGrab::Elsewhere,
                                      {OnChild(true, NotifyWhileGrabbed, NotifyNonlinearVirtual)},
                                      KeyboardGrab::Elsewhere}),
                         [](const auto& info) {
                             std::string name = info.param.what;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(FocusLook, ALockerIsToldApartFromAnotherProgramHoldingTheKeyboard) {
    FocusReading reading{42, false, false, KeyboardGrab::Elsewhere, true};
    KeyTarget target = KeyTargetOf(reading);
    EXPECT_EQ(target.focus, 42u);
    EXPECT_EQ(target.locked, true) << "a locker's window covers the screen";

    reading.lockerWindowOnTop = false;
    target = KeyTargetOf(reading);
    EXPECT_EQ(target.keyboardTaken, true) << "a grab without a window (xtrlock), a menu";
    EXPECT_EQ(target.locked, std::nullopt);

    reading.grab = KeyboardGrab::OwnTree;
    EXPECT_EQ(KeyTargetOf(reading).keyboardTaken, false) << "a viewer gets its keys";

    reading.grab = KeyboardGrab::Unknown;
    reading.screensaverLocked = true;
    target = KeyTargetOf(reading);
    EXPECT_EQ(target.locked, true);
    EXPECT_EQ(target.keyboardTaken, std::nullopt) << "what was not seen stays unseen";

    EXPECT_EQ(FromGrabProbe(true, true), KeyboardGrab::Elsewhere);
    EXPECT_EQ(FromGrabProbe(true, false), KeyboardGrab::OwnTree);
    EXPECT_EQ(FromGrabProbe(false, true), KeyboardGrab::Free);
}

TEST(FocusLook, ALockersWindowMayStopAPixelShortOfEachEdge) {
    EXPECT_TRUE(CoversScreen({0, 0, 1280, 1024}, 1280, 1024));
    EXPECT_TRUE(CoversScreen({1, 1, 1278, 1022}, 1280, 1024));
    EXPECT_FALSE(CoversScreen({0, 0, 1280, 1000}, 1280, 1024));
    EXPECT_FALSE(CoversScreen({100, 0, 1180, 1024}, 1280, 1024));
}

}  // namespace
}  // namespace vm4417::x11
