// An X client that reports every request to change a window's
// _NET_WM_STATE that a client sends to the root window, one line each, to
// standard output:
//
//   ready                                    it listens
//   0xWINDOW add|remove|toggle ATOM [ATOM]   a request, the state atoms named
//
// It listens as any client selecting SubstructureNotify on the root does, so
// it also sees requests that a window manager, which selects only
// SubstructureRedirect there, never receives: Wine 8 sends its
// FlashWindowEx that way.
//
//   x-state-requests   (on $DISPLAY; runs until killed)

#include <X11/Xlib.h>

#include <cstdio>

namespace {

const char* ActionName(long action) {
    switch (action) {
        case 0: return "remove";
        case 1: return "add";
        case 2: return "toggle";
        default: return "?";
    }
}

void PrintAtom(Display* display, long atom) {
    if (atom == 0) return;
    char* name = XGetAtomName(display, static_cast<Atom>(atom));
    std::printf(" %s", name != nullptr ? name : "?");
    if (name != nullptr) XFree(name);
}

}  // namespace

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "x-state-requests: no X display\n");
        return 1;
    }
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != ClientMessage || event.xclient.message_type != state) continue;
        const long* data = event.xclient.data.l;
        std::printf("0x%lx %s", event.xclient.window, ActionName(data[0]));
        PrintAtom(display, data[1]);
        PrintAtom(display, data[2]);
        std::printf("\n");
        std::fflush(stdout);
    }
}
