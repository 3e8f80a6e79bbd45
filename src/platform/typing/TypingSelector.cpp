#include "TypingSelector.h"

#include <cstdlib>

#include "Texts.h"

namespace vm4417 {

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// What a way sees, completed by what the desktop around it tells (the
// session's lock, the toolkit's own windows): the way's own answers stand
// where it has them, since it looks at the moment of each key; a lock that
// either side sees counts.
KeyTarget WithSigns(KeyTarget seen, const KeyTarget& signs) {
    if (!seen.focus) seen.focus = signs.focus;
    if (!seen.ownWindow) seen.ownWindow = signs.ownWindow;
    if (!seen.keyboardTaken) seen.keyboardTaken = signs.keyboardTaken;
    if (signs.locked == true) {
        seen.locked = true;
    } else if (!seen.locked) {
        seen.locked = signs.locked;
    }
    return seen;
}

}  // namespace

TypingSession TypingSession::FromEnvironment() {
    return {Environment("XDG_SESSION_TYPE"), Environment("XDG_CURRENT_DESKTOP"),
            Environment("WAYLAND_DISPLAY"), Environment("DISPLAY")};
}

TypingSelector::TypingSelector(TypingSession session, TypingWays ways)
    : session_(std::move(session)), ways_(ways), chosen_(&ways_.xtest) {
    for (TypingWay* way : {&ways_.xtest, &ways_.virtualKeyboard, &ways_.portal}) {
        way->SetStatusListener([this, way] { OnWayStatus(*way); });
    }
}

void TypingSelector::OnWayStatus(const TypingWay& way) {
    if (&way != chosen_) return;
    const WayState state = way.Status().state;
    if (state == WayState::Failed && chosenState_ == WayState::Ready) broke_ = true;
    // Back and working: a later break may be mended by itself again.
    if (state == WayState::Ready) resumedSinceUnlock_ = false;
    chosenState_ = state;
    if (listener_) listener_();
}

std::vector<TypingWay*> TypingSelector::Order() const {
    if (!session_.IsWayland()) return {&ways_.xtest};
    return {&ways_.virtualKeyboard, &ways_.portal, &ways_.xtest};
}

std::vector<TypingSelector::Candidate> TypingSelector::CheckAll() const {
    std::vector<Candidate> candidates;
    for (TypingWay* way : Order()) candidates.push_back({RoleOf(*way), way, way->Check()});
    return candidates;
}

TypingWay& TypingSelector::Choose() const {
    for (TypingWay* way : Order()) {
        if (way->Check().usable) return *way;
    }
    // Nothing usable: XTest still fails visibly at each capture, and it
    // works again by itself once an X server is back.
    return ways_.xtest;
}

WayRole TypingSelector::RoleOf(const TypingWay& way) const {
    if (&way == &ways_.virtualKeyboard) return WayRole::VirtualKeyboard;
    if (&way == &ways_.portal) return WayRole::Portal;
    return WayRole::XTest;
}

void TypingSelector::Prepare() {
    broke_ = false;
    resumedSinceUnlock_ = false;
    // XTest as the last resort of a Wayland session is looked past again:
    // the desktop may offer a better way by now. A way that is ready without
    // having been set up (XTest) is still set up once.
    if (chosen_ == prepared_ && chosen_->Status().state == WayState::Ready &&
        !ReachesOnlyXApplications()) {
        return;
    }
    Select();
    chosenState_ = chosen_->Status().state;
    prepared_ = chosen_;
    chosen_->Prepare();
    if (listener_) listener_();
}

void TypingSelector::Unlocked() {
    resumedSinceUnlock_ = false;
    if (Resumable()) Resume();
}

bool TypingSelector::Resumable() const {
    return broke_ && !resumedSinceUnlock_ && chosen_->Status().state == WayState::Failed &&
           !Locked();
}

// The same way again, with what it kept (the portal's restore token).
void TypingSelector::Resume() {
    resumedSinceUnlock_ = true;
    chosen_->Prepare();
}

bool TypingSelector::Begin() {
    if (Resumable()) Resume();
    return chosen_->Begin();
}

std::string TypingSelector::Problem() const {
    if (broke_ && chosen_->Status().state == WayState::Preparing) {
        return std::string(text::kTypingResuming);
    }
    if (Locked()) return std::string(text::kSessionLocked);
    return chosen_->Problem();
}

bool TypingSelector::Locked() const { return signs_ && signs_().locked == true; }

void TypingSelector::Select() {
    // Checking the Wayland ways costs a round trip to the compositor or the
    // bus; it is done here, when typing is set up, never per capture.
    chosen_ = &Choose();
}

KeyTarget TypingSelector::Target() {
    const KeyTarget seen = chosen_->Target();
    return signs_ ? WithSigns(seen, signs_()) : seen;
}

bool TypingSelector::ReachesOnlyXApplications() const {
    return session_.IsWayland() && chosen_ == &ways_.xtest;
}

}  // namespace vm4417
