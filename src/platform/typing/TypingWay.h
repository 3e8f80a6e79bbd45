#pragma once
// A way of typing into the application that has the keyboard focus: a key
// sink that can also say whether this session offers it and be set up ahead
// of the first capture. Each way lives in a folder of its own beside this
// one (x11/, wayland/, portal/); TypingSelector chooses among them.

#include <functional>
#include <string>
#include <utility>

#include "KeySink.h"

namespace vm4417 {

// Whether a way can be used in this session, found out without asking the
// operator and without anything the operator would see.
struct WayCheck {
    bool usable = false;
    // Why not, or what the way reaches when usable; in the system's words
    // where it gave any (a missing Wayland global, a D-Bus error).
    std::string reason;
};

enum class WayState {
    Idle,       // not set up yet (or let go)
    Preparing,  // being set up; the operator may be answering a permission dialog
    Ready,      // keys can be sent
    Refused,    // the operator or the desktop said no; not asked again by itself
    Failed,     // set-up failed or the way broke (compositor gone, session closed)
};

struct WayStatus {
    WayState state = WayState::Idle;
    std::string detail;  // the system's words for Refused and Failed
};

class TypingWay : public KeySink {
public:
    // A short name for the command line and standard error ("XTest", ...).
    virtual std::string Name() const = 0;
    // Looks at the session: a Wayland global, a D-Bus service. Bounded in
    // time; may be called before Prepare() and again later.
    virtual WayCheck Check() = 0;
    // Sets the way up for typing: at start-up and whenever the operator
    // switches typing on. Returns without waiting for the operator; a way
    // that asks for permission reports the answer later, from the event
    // loop, through the status listener. Called while Ready it keeps what it
    // has; called after Refused or Failed it starts anew.
    virtual void Prepare() = 0;
    virtual WayStatus Status() const = 0;

    // Called after every change of Status(), on the UI thread.
    void SetStatusListener(std::function<void()> listener) { listener_ = std::move(listener); }

    // KeySink: Begin() is true only while Ready (it never asks the operator
    // and never sets anything up that could drop the first key); Send()
    // reports every event the way could not hand over.

protected:
    void NotifyStatus() {
        if (listener_) listener_();
    }

private:
    std::function<void()> listener_;
};

}  // namespace vm4417
