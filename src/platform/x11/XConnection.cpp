#include "XConnection.h"

#include <pthread.h>

namespace vm4417::x11 {

namespace {

// Marks the connection lost instead of ending the process, which is what
// Xlib does by default once a display's connection breaks. Xlib carries on
// after this returns: requests on the display fail, and closing it is safe.
void OnConnectionLost(Display*, void* link) { static_cast<XConnection*>(link)->broken = true; }

}  // namespace

std::unique_ptr<XConnection> XConnection::Open(const std::string& displayName) {
    Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (display == nullptr) return nullptr;
    auto link = std::make_unique<XConnection>();
    link->display = display;
    XSetIOErrorExitHandler(display, OnConnectionLost, link.get());
    return link;
}

XConnection::~XConnection() {
    if (display == nullptr) return;
    HandlerScope scope(*this);
    XCloseDisplay(display);
}

HandlerScope::HandlerScope(XConnection& link) : link_(link) {
    sigemptyset(&pipeSignal_);
    sigaddset(&pipeSignal_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal_, &savedMask_);
    sigset_t pending;
    sigpending(&pending);
    pipeWasPending_ = sigismember(&pending, SIGPIPE) == 1;

    active_ = this;
    previousError_ = XSetErrorHandler(OnError);
    previousIoError_ = XSetIOErrorHandler(OnIoError);
}

HandlerScope::~HandlerScope() {
    XSetIOErrorHandler(previousIoError_);
    XSetErrorHandler(previousError_);
    active_ = nullptr;

    sigset_t pending;
    sigpending(&pending);
    if (!pipeWasPending_ && sigismember(&pending, SIGPIPE) == 1) {
        const timespec noWait{};
        sigtimedwait(&pipeSignal_, nullptr, &noWait);
    }
    pthread_sigmask(SIG_SETMASK, &savedMask_, nullptr);
}

bool HandlerScope::Ours(Display* display) {
    return active_ != nullptr && display == active_->link_.display;
}

int HandlerScope::OnError(Display* display, XErrorEvent* error) {
    if (Ours(display)) {
        active_->link_.refused = true;
        return 0;
    }
    return active_ != nullptr ? active_->previousError_(display, error) : 0;
}

int HandlerScope::OnIoError(Display* display) {
    // The display's exit handler records the loss right after this.
    if (Ours(display)) return 0;
    return active_ != nullptr ? active_->previousIoError_(display) : 0;
}

}  // namespace vm4417::x11
