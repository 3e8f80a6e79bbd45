// Drives the virtual-keyboard way directly, without the program: sets it up
// once, then types code-only captures through the typing sequence. Prints
// plain lines with CLOCK_MONOTONIC microseconds, to be matched with what a
// client (key-probe) received:
//
//   prepare <µs taken> <state> <detail>
//   <µs> capture <n> <code>        when the capture's first event is sent
//   <µs> typed <n> ok|failed
//
//   vkbd-drive [--captures N] [--gap-ms MS] [--settle-ms MS] [--code CODE]
//              [--linger-ms MS]
//   vkbd-drive --raw [options]   keys sent at once after Prepare(), as one
//                                 burst without the sequence's pauses

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "KeyTyping.h"
#include "posix/SystemClock.h"
#include "wayland/VirtualKeyboardSink.h"

namespace {

using namespace vm4417;

long long NowMicroseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

const char* StateName(WayState state) {
    switch (state) {
        case WayState::Idle: return "idle";
        case WayState::Preparing: return "preparing";
        case WayState::Ready: return "ready";
        case WayState::Refused: return "refused";
        case WayState::Failed: return "failed";
    }
    return "?";
}

}  // namespace

int main(int argc, char** argv) {
    int captures = 1, gapMs = 500, settleMs = 0, lingerMs = 0;
    std::string code = "00000A1B2C3D";
    bool raw = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const int value = i + 1 < argc ? std::atoi(argv[i + 1]) : 0;
        if (option == "--raw")
            raw = true;
        else if (option == "--captures")
            captures = value, ++i;
        else if (option == "--gap-ms")
            gapMs = value, ++i;
        else if (option == "--settle-ms")
            settleMs = value, ++i;
        else if (option == "--linger-ms")
            lingerMs = value, ++i;
        else if (option == "--code" && i + 1 < argc)
            code = argv[++i];
    }
    VirtualKeyboardSink sink;
    const long long start = NowMicroseconds();
    sink.Prepare();
    const long long prepared = NowMicroseconds();
    const WayStatus status = sink.Status();
    std::printf("prepare %lld %s %s\n", prepared - start, StateName(status.state),
                status.detail.c_str());
    std::fflush(stdout);
    if (status.state != WayState::Ready) return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));

    if (raw) {
        // Straight after Prepare(): no Begin(), no pauses, no Shift.
        for (char c : code + "\r") {
            const auto key = c == '\r' ? vk::Return : *VirtualKeyFor(c);
            if (!sink.Send(KeyEvent{key, false}) || !sink.Send(KeyEvent{key, true})) {
                std::printf("send failed: %s\n", sink.Status().detail.c_str());
                return 1;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(lingerMs));
        return 0;
    }
    SystemClock clock;
    int failed = 0;
    for (int n = 1; n <= captures; ++n) {
        if (n > 1) std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
        std::printf("%lld capture %d %s\n", NowMicroseconds(), n, code.c_str());
        std::fflush(stdout);
        const bool ok =
            TypeCapture(sink, clock, CaptureKeys{1, "00:00:00", code, false, false}).typed;
        std::printf("%lld typed %d %s %s\n", NowMicroseconds(), n, ok ? "ok" : "failed",
                    sink.Status().detail.c_str());
        std::fflush(stdout);
        if (!ok) ++failed;
    }
    // Keeps the keyboard a while, as a second keyboard of the seat.
    std::this_thread::sleep_for(std::chrono::milliseconds(lingerMs));
    return failed == 0 ? 0 : 1;
}
