// The operator's own keyboard on an X server, for the typing tests: keys sent
// as a slave keyboard other than XTest's (Xvfb's own "Xvfb keyboard"), as a
// real keyboard's keys arrive, through XTestFakeDeviceKeyEvent. A capture
// typed by the program meanwhile goes through XTest's keyboard, so the
// server tells the two apart as it would on a real desk.
//
//   x-operator-keys [--after MS] [--every MS] type TEXT
//       waits MS, then types the ASCII letters, digits and spaces of TEXT,
//       capitals with Shift, MS apart (default 0 and 40)
//   x-operator-keys press KEYSYM | release KEYSYM
//       one key of the operator's, left down or let go
//
// On $DISPLAY. Prints "<µs> done" (CLOCK_MONOTONIC) once the server has
// taken every key.

#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

long long NowMicroseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

// The first slave keyboard that is not XTest's.
XDevice* OperatorKeyboard(Display* display) {
    int count = 0;
    XDeviceInfo* devices = XListInputDevices(display, &count);
    XID id = 0;
    for (int i = 0; i < count && id == 0; ++i) {
        if (devices[i].use == IsXExtensionKeyboard &&
            std::strstr(devices[i].name, "XTEST") == nullptr) {
            id = devices[i].id;
        }
    }
    if (devices != nullptr) XFreeDeviceList(devices);
    return id != 0 ? XOpenDevice(display, id) : nullptr;
}

void Key(Display* display, XDevice* device, KeySym keysym, bool press) {
    const KeyCode code = XKeysymToKeycode(display, keysym);
    if (code == 0) {
        std::fprintf(stderr, "x-operator-keys: no key for %s\n", XKeysymToString(keysym));
        std::exit(1);
    }
    XTestFakeDeviceKeyEvent(display, device, code, press ? True : False, nullptr, 0, CurrentTime);
    XSync(display, False);
}

void Type(Display* display, XDevice* device, const std::string& text, int everyMs) {
    for (const char c : text) {
        const bool capital = std::isupper(static_cast<unsigned char>(c)) != 0;
        const char name[2] = {static_cast<char>(std::tolower(static_cast<unsigned char>(c))), 0};
        const KeySym keysym = c == ' ' ? XK_space : XStringToKeysym(name);
        if (capital) Key(display, device, XK_Shift_L, true);
        Key(display, device, keysym, true);
        Key(display, device, keysym, false);
        if (capital) Key(display, device, XK_Shift_L, false);
        usleep(static_cast<useconds_t>(everyMs) * 1000);
    }
}

int Usage() {
    std::fprintf(stderr,
                 "usage: x-operator-keys [--after MS] [--every MS] type TEXT\n"
                 "       x-operator-keys press|release KEYSYM\n");
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    int afterMs = 0, everyMs = 40, i = 1;
    for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
        if (std::strcmp(argv[i], "--after") == 0) {
            afterMs = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--every") == 0) {
            everyMs = std::atoi(argv[i + 1]);
        } else {
            return Usage();
        }
    }
    if (i + 2 != argc) return Usage();
    const std::string command = argv[i], argument = argv[i + 1];
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "x-operator-keys: cannot open the display\n");
        return 1;
    }
    XDevice* device = OperatorKeyboard(display);
    if (device == nullptr) {
        std::fprintf(stderr, "x-operator-keys: no keyboard but XTest's\n");
        return 1;
    }
    usleep(static_cast<useconds_t>(afterMs) * 1000);
    if (command == "type") {
        Type(display, device, argument, everyMs);
    } else if (command == "press" || command == "release") {
        Key(display, device, XStringToKeysym(argument.c_str()), command == "press");
    } else {
        return Usage();
    }
    std::printf("%lld done\n", NowMicroseconds());
    XCloseDevice(display, device);
    XCloseDisplay(display);
    return 0;
}
