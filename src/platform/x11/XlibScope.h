#pragma once
// One connection to the X server that a lost server or a refused request
// never ends the process through: Xlib's default handlers would exit, so
// while this program works on a connection, handlers that only take note
// are in place (HandlerScope). Shared by the typing and by the look at where
// the keys go, each on a connection of its own.

#include <X11/Xlib.h>
#include <signal.h>

#include <memory>
#include <string>

namespace vm4417::x11 {

// What the error handlers found out about one connection.
struct LinkState {
    Display* display = nullptr;
    bool broken = false;   // the connection to the server is lost
    bool refused = false;  // the server answered a request with an error
};

// Opens the display (an empty name: $DISPLAY) with a handler that marks
// the connection lost instead of ending the process. Nothing when it does
// not open. The LinkState must stay where it is while the display is open.
std::unique_ptr<LinkState> OpenLink(const std::string& displayName);
// Closes the display, with the handlers in place.
void CloseLink(std::unique_ptr<LinkState>& link);

// Xlib's error handlers are process-wide and its defaults end the process (an
// I/O error goes to the global handler before the display's own exit handler,
// so both are needed). While a scope lives, handlers that only take note are
// installed. Xlib reads a connection only inside calls made on that
// connection, so whatever arrives in that time belongs to the scope's display;
// anything else still goes to the previous handlers, which are put back
// afterwards. One thread, no nesting.
//
// A write to a server that has just gone raises SIGPIPE, whose default also
// ends the process. It is held back for the same time and dropped when it
// arose meanwhile; Xlib sees the failed write and reports the lost server.
class HandlerScope {
public:
    explicit HandlerScope(LinkState& link);
    ~HandlerScope();
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    static bool Ours(Display* display);
    static int OnError(Display* display, XErrorEvent* error);
    static int OnIoError(Display* display);

    static inline HandlerScope* active_ = nullptr;
    LinkState& link_;
    XErrorHandler previousError_ = nullptr;
    XIOErrorHandler previousIoError_ = nullptr;
    sigset_t pipeSignal_{};
    sigset_t savedMask_{};
    bool pipeWasPending_ = false;
};

}  // namespace vm4417::x11
