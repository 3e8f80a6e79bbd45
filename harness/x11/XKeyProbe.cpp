// An X client that reports the keys it receives, one line each, to standard
// output, in the format of the Wayland key probe:
//
//   <µs> ready 0xWINDOW             it can receive keys
//   <µs> press|release NAME "TEXT"  keysym name, text as the client types it
//   <µs> focus-in | focus-out       its window got or lost the keyboard focus
//
// By default it takes the focus and grabs the keyboard, as a remote-desktop
// viewer does: a compositor without a keyboard in its seat (weston headless)
// never lets an X window keep the focus, yet the keys the X server gets
// must still be observed the way an application sees them. With --focus it
// only asks the window manager for the focus, as an ordinary application,
// and receives keys while it has it. With --grab-only it shows nothing and
// leaves the focus alone: it grabs the keyboard on a 1x1 input-only window
// of its own that the window manager never sees, as a screen locker that
// covers nothing does. µs are CLOCK_MONOTONIC microseconds; TEXT is UTF-8.
//
//   x-key-probe [--focus | --grab-only] [--name TITLE]
//                                          (on $DISPLAY; runs until killed)

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

long long NowMicroseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

void Say(const char* what) {
    std::printf("%lld %s\n", NowMicroseconds(), what);
    std::fflush(stdout);
}

// XLookupString gives Latin-1.
void PutLatin1AsUtf8(unsigned char c) {
    if (c < 0x80) {
        std::putchar(c);
    } else {
        std::putchar(0xC0 | (c >> 6));
        std::putchar(0x80 | (c & 0x3F));
    }
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
            PutLatin1AsUtf8(c);
        }
    }
    std::printf("\"\n");
    std::fflush(stdout);
}

[[noreturn]] void ReportForever(Display* display) {
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        // A new keyboard map (Xwayland takes the keymap of the seat's
        // active keyboard, a virtual one too) reaches Xlib only so.
        if (event.type == MappingNotify) XRefreshKeyboardMapping(&event.xmapping);
        if (event.type == KeyPress || event.type == KeyRelease) Report(event.xkey);
        // Focus moves of the pointer's or a grab's making are not the
        // window manager's.
        if ((event.type == FocusIn || event.type == FocusOut) &&
            event.xfocus.mode == NotifyNormal && event.xfocus.detail != NotifyPointer) {
            Say(event.type == FocusIn ? "focus-in" : "focus-out");
        }
    }
}

// The keyboard grabbed on a window that covers nothing and takes no focus.
int GrabOnly(Display* display, const std::string& name) {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.event_mask = KeyPressMask | KeyReleaseMask;
    const Window window =
        XCreateWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, CopyFromParent, InputOnly,
                      CopyFromParent, CWOverrideRedirect | CWEventMask, &attributes);
    XStoreName(display, window, name.c_str());
    XMapWindow(display, window);
    XSync(display, False);
    char ready[64];
    std::snprintf(ready, sizeof ready, "ready 0x%lx", window);
    for (int tries = 0; tries < 100; ++tries) {
        if (XGrabKeyboard(display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime) ==
            GrabSuccess) {
            Say(ready);
            ReportForever(display);
        }
        usleep(50000);
    }
    std::fprintf(stderr, "x-key-probe: cannot grab the keyboard\n");
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    bool grab = true;
    bool grabOnly = false;
    std::string name = "x-key-probe";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--focus") == 0) {
            grab = false;
        } else if (std::strcmp(argv[i], "--grab-only") == 0) {
            grabOnly = true;
        } else if (std::strcmp(argv[i], "--name") == 0 && i + 1 < argc) {
            name = argv[++i];
        } else {
            std::fprintf(stderr, "usage: x-key-probe [--focus | --grab-only] [--name TITLE]\n");
            return 2;
        }
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "x-key-probe: cannot open the display\n");
        return 1;
    }
    if (grabOnly) return GrabOnly(display, name);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 240, 120,
                                              0, 0, WhitePixel(display, DefaultScreen(display)));
    XSelectInput(display, window, KeyPressMask | KeyReleaseMask | FocusChangeMask);
    XStoreName(display, window, name.c_str());
    // Window managers give the focus to a window that asks for input.
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = True;
    XSetWMHints(display, window, &hints);
    XMapWindow(display, window);
    XSync(display, False);
    char ready[64];
    std::snprintf(ready, sizeof ready, "ready 0x%lx", window);
    // Focus and grab fail while the window is not viewable yet.
    for (int tries = 0; tries < 100; ++tries) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, window, &attributes);
        if (attributes.map_state == IsViewable) {
            if (!grab) {
                Say(ready);
                ReportForever(display);
            }
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
            if (XGrabKeyboard(display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime) ==
                GrabSuccess) {
                Say(ready);
                ReportForever(display);
            }
        }
        usleep(50000);
    }
    std::fprintf(stderr, "x-key-probe: cannot %s\n", grab ? "grab the keyboard" : "show a window");
    return 1;
}
