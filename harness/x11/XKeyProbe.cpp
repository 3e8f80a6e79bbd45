// An X client that reports the keys it receives, one line each, to standard
// output, in the format of the Wayland key probe:
//
//   <µs> ready                      the keyboard is grabbed
//   <µs> press|release NAME "TEXT"  keysym name, text as the client types it
//
// It grabs the keyboard rather than waiting for the focus: a compositor
// without a keyboard in its seat (weston headless) never lets an X window
// keep the focus, yet the keys the X server gets must still be observed the
// way an application sees them. µs are CLOCK_MONOTONIC microseconds.
//
//   x-key-probe        (on $DISPLAY; runs until killed or the server goes)

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

long long NowMicroseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

void Report(XKeyEvent& key) {
    char text[16] = {};
    KeySym keysym = NoSymbol;
    const int length = XLookupString(&key, text, sizeof text - 1, &keysym, nullptr);
    const char* name = XKeysymToString(keysym);
    std::printf("%lld %s %s \"", NowMicroseconds(), key.type == KeyPress ? "press" : "release",
                name != nullptr ? name : "NoSymbol");
    for (int i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == '"' || c == '\\') {
            std::printf("\\x%02x", c);
        } else {
            std::putchar(c);
        }
    }
    std::printf("\"\n");
    std::fflush(stdout);
}

}  // namespace

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "x-key-probe: cannot open the display\n");
        return 1;
    }
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 240, 120,
                                              0, 0, WhitePixel(display, DefaultScreen(display)));
    XSelectInput(display, window, KeyPressMask | KeyReleaseMask);
    XStoreName(display, window, "x-key-probe");
    XMapWindow(display, window);
    XSync(display, False);
    // The grab fails while the window is not viewable yet.
    for (int tries = 0; tries < 100; ++tries) {
        if (XGrabKeyboard(display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime) ==
            GrabSuccess) {
            std::printf("%lld ready\n", NowMicroseconds());
            std::fflush(stdout);
            for (;;) {
                XEvent event;
                XNextEvent(display, &event);
                // A new keyboard map (Xwayland takes the keymap of the seat's
                // active keyboard, a virtual one too) reaches Xlib only so.
                if (event.type == MappingNotify) XRefreshKeyboardMapping(&event.xmapping);
                if (event.type == KeyPress || event.type == KeyRelease) Report(event.xkey);
            }
        }
        usleep(50000);
    }
    std::fprintf(stderr, "x-key-probe: cannot grab the keyboard\n");
    return 1;
}
