#pragma once
// Which way of typing the program uses, chosen when typing is set up (at
// start-up and whenever the operator switches typing on), in this order:
//
//  1. An X11 session (no Wayland display in the environment): XTest. The X
//     server hands the keys to whichever application has the focus and asks
//     nobody's permission.
//  2. Wayland with the virtual-keyboard protocol (the wlroots compositors:
//     sway, Hyprland, labwc, river, Wayfire): a keyboard of the program's
//     own with its own keymap. It reaches native and Xwayland applications
//     alike and needs no dialog, so it comes before the portal.
//  3. Wayland with the RemoteDesktop portal (GNOME, KDE Plasma): the desktop
//     asks the operator once; keys go by keysym through the compositor.
//  4. Wayland with neither: XTest through Xwayland, which reaches the X
//     applications only. The program tells the operator so at start-up.
//
// A way that is ready is kept; one that was refused is chosen and set up anew
// only by the next Prepare(), never in the middle of a capture. One that
// broke after it was ready (the desktop ended its session, as GNOME does
// when the screen locks; the portal restarted) comes back by itself: it is
// set up anew once the session is unlocked (Unlocked()), or at the next
// capture, never while the session is locked, and once until the session is
// unlocked again or the way works again, so that a desktop that asks for
// permission again shows one dialog at most each time.
// The capture that finds it broken or coming back is not typed.

#include <functional>
#include <string>
#include <vector>

#include "ForwardingKeySink.h"
#include "TypingWay.h"

namespace vm4417 {

// What the environment says about the desktop session.
struct TypingSession {
    std::string type;            // $XDG_SESSION_TYPE ("x11", "wayland", or empty)
    std::string desktop;         // $XDG_CURRENT_DESKTOP ("GNOME", "KDE", "sway", ...)
    std::string waylandDisplay;  // $WAYLAND_DISPLAY
    std::string xDisplay;        // $DISPLAY

    // A Wayland display decides it: $XDG_SESSION_TYPE is often missing
    // outside a display manager's login, and an X11 session has no Wayland
    // display.
    bool IsWayland() const { return !waylandDisplay.empty(); }
    static TypingSession FromEnvironment();
};

enum class WayRole { XTest, VirtualKeyboard, Portal };

// The ways in the selector's order of preference.
struct TypingWays {
    TypingWay& xtest;
    TypingWay& virtualKeyboard;
    TypingWay& portal;
};

class TypingSelector final : public ForwardingKeySink {
public:
    TypingSelector(TypingSession session, TypingWays ways);

    // Chooses a way unless the one in use is ready, and sets it up: at
    // start-up and when the operator switches typing on.
    void Prepare();
    // The session was unlocked: a way that broke comes back now.
    void Unlocked();
    // Only chooses, setting nothing up: to tell the operator at start-up
    // what typing would reach while typing is off.
    void Select();
    // The way in use (XTest until the first Prepare()).
    TypingWay& Chosen() const { return *chosen_; }
    WayRole ChosenRole() const { return RoleOf(*chosen_); }
    WayRole RoleOf(const TypingWay& way) const;
    // A Wayland session in which only XTest is left: native applications
    // receive nothing.
    bool ReachesOnlyXApplications() const;
    const TypingSession& Session() const { return session_; }

    struct Candidate {
        WayRole role;
        TypingWay* way;
        WayCheck check;
    };
    // Every way with its check, in order of preference; for the operator's
    // diagnosis. Sets nothing up.
    std::vector<Candidate> CheckAll() const;
    // The way Prepare() would use: the first usable one, checked in order
    // (the later, costlier checks only when needed), XTest when none is.
    TypingWay& Choose() const;

    // Called after a change of the chosen way's status, on the UI thread.
    void SetStatusListener(std::function<void()> listener) { listener_ = std::move(listener); }

    // What the desktop tells about where keys would go, beside the way: the
    // session's lock (logind), and whether this program's own window has
    // the focus (the toolkit). Added to what the chosen way sees.
    void SetTargetSigns(std::function<KeyTarget()> signs) { signs_ = std::move(signs); }
    KeyTarget Target() override;

    // Brings back a way that broke, as above, before asking it.
    bool Begin() override;
    // Why Begin() failed: typing coming back, a locked session, or the way's
    // own reason.
    std::string Problem() const override;

private:
    // KeySink: every call goes to the chosen way.
    KeySink& Inner() const override { return *chosen_; }
    void OnWayStatus(const TypingWay& way);
    bool Resumable() const;
    void Resume();
    bool Locked() const;
    std::vector<TypingWay*> Order() const;

    TypingSession session_;
    TypingWays ways_;
    TypingWay* chosen_;
    TypingWay* prepared_ = nullptr;  // the way Prepare() set up last
    std::function<void()> listener_;
    std::function<KeyTarget()> signs_;
    WayState chosenState_ = WayState::Idle;  // as last heard
    bool broke_ = false;                     // the chosen way failed after it was ready
    bool resumedSinceUnlock_ = false;
};

}  // namespace vm4417
