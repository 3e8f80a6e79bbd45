#include "DesktopTyping.h"

#include <QGuiApplication>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <vector>

#include "Texts.h"

namespace vm4417::ui {

namespace {

std::string_view Label(WayRole role) {
    switch (role) {
        case WayRole::VirtualKeyboard: return text::kTypingVirtualKeyboard;
        case WayRole::Portal: return text::kTypingPortal;
        case WayRole::XTest: break;
    }
    return text::kTypingXTest;
}

std::string OrUnknown(const std::string& value) {
    return value.empty() ? std::string(text::kTypingUnknown) : value;
}

// Pads to a column count; Czech letters take two bytes in UTF-8 but one
// column on the terminal.
std::string PaddedColumns(std::string_view text, std::size_t columns) {
    std::size_t width = 0;
    for (const char c : text) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    std::string padded(text);
    if (width < columns) padded.append(columns - width, ' ');
    return padded;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::string PortalTokenFile() {
    std::string state = Environment("XDG_STATE_HOME");
    if (state.empty() || state.front() != '/') state = Environment("HOME") + "/.local/state";
    return state + "/vm4417/portal-restore-token";
}

DesktopTyping::DesktopTyping(std::ostream& err)
    : DesktopTyping(err, TypingSession::FromEnvironment()) {}

DesktopTyping::DesktopTyping(std::ostream& err, const TypingSession& session)
    : err_(err),
      portal_(PortalPlace{PortalTokenFile(), session.desktop}),
      selector_(session, {xtest_, virtualKeyboard_, portal_}),
      // An offscreen window never has the desktop's keyboard.
      windowsOnDesktop_(QGuiApplication::platformName() != QStringLiteral("offscreen") &&
                        QGuiApplication::platformName() != QStringLiteral("minimal")) {
    selector_.SetStatusListener([this] { OnStatusChange(); });
    selector_.SetTargetSigns([this] { return DesktopSigns(); });
    sessionLock_.SetUnlockListener([this] { selector_.Unlocked(); });
    sessionLock_.Start();
}

// Qt knows which of its windows has the focus, message boxes and the maker
// window included. Asked before every key.
KeyTarget DesktopTyping::DesktopSigns() {
    std::optional<bool> ownWindow;
    if (windowsOnDesktop_) ownWindow = QGuiApplication::focusWindow() != nullptr;
    return {std::nullopt, ownWindow, sessionLock_.Locked()};
}

void DesktopTyping::Prepare() {
    lastState_ = WayState::Idle;
    selector_.Prepare();
    if (selector_.ReachesOnlyXApplications()) TellOnlyXApplications();
    TellLockUnseen();
}

void DesktopTyping::Select() {
    selector_.Select();
    if (selector_.ReachesOnlyXApplications()) TellOnlyXApplications();
    TellLockUnseen();
}

// A wlroots desktop other than sway (or sway whose socket cannot be found)
// shows no locker to the virtual keyboard; logind shows only a locker that
// tells it. Said once, on standard error, for whoever started the program.
void DesktopTyping::TellLockUnseen() {
    if (lockUnseenTold_ || selector_.ChosenRole() != WayRole::VirtualKeyboard) return;
    if (selector_.Chosen().Target().focus || sessionLock_.Locked()) return;
    lockUnseenTold_ = true;
    err_ << "vm4417: " << text::kTargetLockUnseen << '\n';
    err_.flush();
}

void DesktopTyping::TellOnlyXApplications() {
    Tell(text::kTypingOnlyX, std::string(text::kTypingOnlyXFix));
}

// The status bar tells only what the operator can act on: a refusal, and a
// set-up that failed. A way that breaks later shows at the capture it broke
// in, which is listed with the keyboard error; standard error gets the why.
void DesktopTyping::OnStatusChange() {
    const WayStatus status = selector_.Chosen().Status();
    const WayState before = lastState_;
    lastState_ = status.state;
    if (status.state == before) return;
    const std::string_view label = Label(selector_.ChosenRole());
    if (status.state == WayState::Refused) {
        Tell(DesktopAsked() ? text::kTypingRefused : text::kTypingDeclined,
             std::string(label) + ": " + status.detail);
    } else if (status.state == WayState::Failed && before != WayState::Ready) {
        Tell(text::kTypingSetupFailed, std::string(label) + ": " + status.detail);
    } else if (status.state == WayState::Failed) {
        err_ << "vm4417: " << text::kTypingBroke << " (" << label << ": " << status.detail << ")\n";
        err_.flush();
    }
}

// Only the portal's desktop may decline without a dialog; the other ways
// refuse nothing.
bool DesktopTyping::DesktopAsked() const {
    return selector_.ChosenRole() != WayRole::Portal ||
           portal_.Permission() != PortalPermission::DoesNotAsk;
}

void DesktopTyping::Tell(std::string_view status, const std::string& detail) {
    err_ << "vm4417: " << status << " (" << detail << ")\n";
    err_.flush();
    if (noticeListener_) noticeListener_(std::string(status));
}

void DesktopTyping::WriteReport(std::ostream& out) {
    const TypingSession& session = selector_.Session();
    out << text::kTypingSession << OrUnknown(session.type) << text::kTypingDesktop
        << OrUnknown(session.desktop) << " (WAYLAND_DISPLAY=" << session.waylandDisplay
        << ", DISPLAY=" << session.xDisplay << ")\n";
    out << text::kTypingListHeader << '\n';
    std::string chosen;
    std::optional<WayRole> chosenRole;
    TypingWay* chosenWay = nullptr;
    for (const auto& candidate : selector_.CheckAll()) {
        std::string state(candidate.check.usable ? text::kPortUsable : text::kPortUnusable);
        if (candidate.check.usable) state += ": ";
        state += candidate.check.reason;
        const bool onlyX = candidate.role == WayRole::XTest && session.IsWayland();
        if (candidate.check.usable && onlyX) state += text::kTypingOnlyXNote;
        out << PaddedColumns(Label(candidate.role), 33) << state << '\n';
        if (candidate.check.usable && !chosenRole) {
            chosenRole = candidate.role;
            chosenWay = candidate.way;
            chosen = Label(candidate.role);
            if (onlyX) chosen += text::kTypingOnlyXNote;
        }
    }
    out << text::kTypingChosen << (chosen.empty() ? std::string(text::kTypingNone) : chosen)
        << '\n';
    if (chosenRole) {
        WriteKeyboardNotes(*chosenRole, out);
        WriteTargetNotes(*chosenRole, *chosenWay, out);
    }
}

// What the program can tell on the way in use about where the keys go: its
// own window always (Qt, or the X server), a locked screen where logind, the
// X server or sway show it, a focus moving mid-capture where the X server or
// sway show it.
void DesktopTyping::WriteTargetNotes(WayRole role, TypingWay& way, std::ostream& out) {
    out << text::kTargetOwnWindow << '\n';
    std::vector<std::string_view> lockSources;
    if (sessionLock_.WaitUntilKnown(std::chrono::milliseconds{2000})) {
        lockSources.push_back(text::kTargetLockByLogind);
    }
    const bool swaySeen = role == WayRole::VirtualKeyboard && way.Target().focus.has_value();
    if (role == WayRole::XTest) lockSources.push_back(text::kTargetLockByXServer);
    if (swaySeen) lockSources.push_back(text::kTargetLockBySway);
    if (lockSources.empty()) {
        out << text::kTargetLockUnseen << '\n';
    } else {
        out << text::kTargetLockSeen;
        for (std::size_t i = 0; i < lockSources.size(); ++i)
            out << (i > 0 ? "; " : "") << lockSources[i];
        out << text::kTargetLockSeenEnd << '\n';
    }
    const bool focusSeen = role == WayRole::XTest || swaySeen;
    out << (focusSeen ? text::kTargetFocusSeen : text::kTargetFocusUnseen) << '\n';
    if (role == WayRole::Portal) out << text::kTargetResumes << '\n';
}

// What the operator's own keyboard does to a capture on the way in use, and
// whether "Přesné znaky" changes anything there: the Wayland ways always
// type the characters themselves.
void DesktopTyping::WriteKeyboardNotes(WayRole role, std::ostream& out) {
    switch (role) {
        case WayRole::Portal: WriteUnseenKeys(out); break;
        case WayRole::VirtualKeyboard: out << text::kTypingOwnKeyboard << '\n'; break;
        case WayRole::XTest: out << text::kTypingSeesKeyboard << '\n'; break;
    }
    const bool typesCharacters = role != WayRole::XTest;
    out << (typesCharacters ? text::kTypingAlwaysExact : text::kTypingExactOption) << '\n';
    // Only the X server shows a client the other keyboards (XInput 2).
    const bool holdsOperatorKeys = role == WayRole::XTest;
    out << (holdsOperatorKeys ? text::kTypingHoldsOperatorKeys : text::kTypingMixesOperatorKeys)
        << '\n';
}

// The portal's desktop shows the seat's modifiers only to the application
// with the focus; the Caps Lock lights are all the program can see.
void DesktopTyping::WriteUnseenKeys(std::ostream& out) {
    const bool seesCapsLock = portal_.Keyboard().capsLock.has_value();
    out << text::kTypingUnseenModifiers << ' '
        << (seesCapsLock ? text::kTypingSeenCapsLock : text::kTypingUnseenCapsLock) << '\n';
}

}  // namespace vm4417::ui
