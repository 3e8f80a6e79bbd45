#pragma once
// One connection to the X server, owned by whoever opened it and closed when
// that owner lets it go, that a lost server or a refused request never ends
// the process through: Xlib's default handlers would exit, so while this
// program works on a connection, handlers that only take note are in place
// (HandlerScope). The typing, the look at where the keys go and the hold of
// the operator's keyboards each have a connection of their own.

#include <X11/Xlib.h>
#include <signal.h>

#include <memory>
#include <string>

namespace vm4417::x11 {

// An open display and what the error handlers found out about it. Xlib keeps
// its address for the lost-connection handler, so it stays where Open() made
// it; closing the display is the destructor's, with the handlers in place,
// outside any HandlerScope.
struct XConnection {
    Display* display = nullptr;
    bool broken = false;   // the connection to the server is lost
    bool refused = false;  // the server answered a request with an error

    // Opens the display (an empty name: $DISPLAY) with a handler that marks
    // the connection lost instead of ending the process. Nothing when it
    // does not open.
    static std::unique_ptr<XConnection> Open(const std::string& displayName);

    XConnection() = default;
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;
};

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
    explicit HandlerScope(XConnection& link);
    ~HandlerScope();
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    static bool Ours(Display* display);
    static int OnError(Display* display, XErrorEvent* error);
    static int OnIoError(Display* display);

    static inline HandlerScope* active_ = nullptr;
    XConnection& link_;
    XErrorHandler previousError_ = nullptr;
    XIOErrorHandler previousIoError_ = nullptr;
    sigset_t pipeSignal_{};
    sigset_t savedMask_{};
    bool pipeWasPending_ = false;
};

}  // namespace vm4417::x11
