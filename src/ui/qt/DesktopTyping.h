#pragma once
// The ways of typing this desktop may offer, the selector among them, and
// what the operator is told about them: the report of --check-typing, and
// one line on standard error and in the status bar when typing cannot reach
// every application or the desktop refused it.

#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "logind/SessionLock.h"
#include "portal/PortalKeySink.h"
#include "typing/TypingSelector.h"
#include "wayland/VirtualKeyboardSink.h"
#include "x11/XTestKeySink.h"

namespace vm4417::ui {

// Beside the ways, the desktop tells where keys would go: the session's lock
// (logind) and whether one of this program's windows has the focus (Qt),
// which the ways of Wayland cannot see.
class DesktopTyping {
public:
    // The session as the environment describes it; notices for the operator
    // go to `err` as well. Needs a QCoreApplication (the portal talks D-Bus
    // through it).
    explicit DesktopTyping(std::ostream& err);

    KeySink& Keys() { return selector_; }

    // Sets typing up: at start-up when typing is on, and whenever the
    // operator switches it on.
    void Prepare();
    // At start-up while typing is off: finds out, without asking anybody,
    // what typing would reach.
    void Select();
    bool ReachesOnlyXApplications() const { return selector_.ReachesOnlyXApplications(); }

    // Receives a status-bar text each time the operator should hear of
    // typing: it reaches only X applications (after Prepare() or Select()),
    // the desktop refused it, or it could not be set up. The same text, with
    // the system's details, goes to standard error.
    void SetNoticeListener(std::function<void(const std::string& status)> listener) {
        noticeListener_ = std::move(listener);
    }

    // The --check-typing report: session, desktop, every way with whether it
    // can be used, and the one the program would use.
    void WriteReport(std::ostream& out);

private:
    DesktopTyping(std::ostream& err, const TypingSession& session);

    void OnStatusChange();
    KeyTarget DesktopSigns();
    void TellOnlyXApplications();
    void TellLockUnseen();
    bool DesktopAsked() const;
    void WriteKeyboardNotes(WayRole role, std::ostream& out);
    void WriteTargetNotes(WayRole role, TypingWay& way, std::ostream& out);
    void WriteUnseenKeys(std::ostream& out);
    void Tell(std::string_view status, const std::string& detail);

    std::ostream& err_;
    XTestKeySink xtest_;
    VirtualKeyboardSink virtualKeyboard_;
    PortalKeySink portal_;
    TypingSelector selector_;
    SessionLock sessionLock_;
    // The program's windows are on the desktop (not offscreen), so Qt's
    // focus tells whether one of them has the keyboard.
    bool windowsOnDesktop_;
    WayState lastState_ = WayState::Idle;
    bool lockUnseenTold_ = false;
    std::function<void(const std::string&)> noticeListener_;
};

// Where the portal's restore token is kept: $XDG_STATE_HOME/vm4417/, by
// default ~/.local/state/vm4417/.
std::string PortalTokenFile();

}  // namespace vm4417::ui
