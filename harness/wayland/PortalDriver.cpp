// Drives the RemoteDesktop portal's key sink on its own, without the
// program's window: checks the portal, prepares the sink (the desktop asks
// for permission), then types a code and Enter a number of times with the
// program's key sequence and pauses. Every step is printed with CLOCK_MONOTONIC
// microseconds, comparable with what key-probe prints:
//
//   <µs> check usable|unusable REASON
//   <µs> prepare
//   <µs> status Preparing|Ready|Refused|Failed DETAIL
//   <µs> typing N
//   <µs> typed N ok|failed
//
//   portal-driver [--token FILE] [--code CODE] [--captures N] [--every MS]

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "KeyTyping.h"
#include "PortalKeySink.h"
#include "posix/SystemClock.h"

namespace {

long long NowMicroseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

const char* StateName(vm4417::WayState state) {
    switch (state) {
        case vm4417::WayState::Idle: return "Idle";
        case vm4417::WayState::Preparing: return "Preparing";
        case vm4417::WayState::Ready: return "Ready";
        case vm4417::WayState::Refused: return "Refused";
        case vm4417::WayState::Failed: return "Failed";
    }
    return "?";
}

struct Options {
    std::string tokenFile;
    std::string code = "00000A1B2C3D";
    int captures = 1;
    int everyMs = 1000;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--token") {
            options.tokenFile = value;
        } else if (name == "--code") {
            options.code = value;
        } else if (name == "--captures") {
            options.captures = std::stoi(value);
        } else if (name == "--every") {
            options.everyMs = std::stoi(value);
        } else {
            return false;
        }
    }
    return argc % 2 == 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: portal-driver [--token FILE] [--code CODE] [--captures N] "
                     "[--every MS]\n");
        return 2;
    }
    vm4417::PortalKeySink sink(options.tokenFile);
    vm4417::SystemClock clock;

    const vm4417::WayCheck check = sink.Check();
    std::printf("%lld check %s %s\n", NowMicroseconds(), check.usable ? "usable" : "unusable",
                check.reason.c_str());
    std::fflush(stdout);

    int typed = 0;
    QTimer typing;
    typing.setInterval(options.everyMs);
    QObject::connect(&typing, &QTimer::timeout, [&] {
        ++typed;
        std::printf("%lld typing %d\n", NowMicroseconds(), typed);
        const vm4417::CaptureKeys keys{static_cast<std::uint32_t>(typed), "00:00:00", options.code};
        const bool ok = vm4417::TypeCapture(sink, clock, keys).typed;
        std::printf("%lld typed %d %s\n", NowMicroseconds(), typed, ok ? "ok" : "failed");
        std::fflush(stdout);
        if (typed == options.captures) app.quit();
    });
    sink.SetStatusListener([&] {
        const vm4417::WayStatus status = sink.Status();
        std::printf("%lld status %s %s\n", NowMicroseconds(), StateName(status.state),
                    status.detail.c_str());
        std::fflush(stdout);
        if (status.state != vm4417::WayState::Preparing && !typing.isActive()) typing.start();
    });
    std::printf("%lld prepare\n", NowMicroseconds());
    std::fflush(stdout);
    sink.Prepare();
    return app.exec();
}
