// reader-sim: serves a simulated chip reader on a pseudo-terminal linked as
// DIR/COM<n> and logs every request and frame to standard output.

#include <getopt.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "ReaderSimulator.h"

namespace {

using readersim::ReaderSimulator;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// How often the console loop notices that serving ended on its own.
constexpr int kConsolePollMs = 250;

constexpr const char* kUsage = R"(Usage: reader-sim --dir DIR [options]
Simulates the chip reader on a pseudo-terminal linked as DIR/COM<n>
and prints each request and frame to standard output.

  --dir DIR             directory of the COM<n> link (required; created if
                        missing; an existing COM<n> link is replaced)
  --port N              n in COM<n>, 0..255 (default 1)
  --ident XXXX          the 4 identification characters (default 1234)
  --every SECONDS       send a random code frame every SECONDS; fractions
                        allowed (default 0 = never)
  --stdin               send a frame per line of standard input: a
                        14-character code, or an empty line for a random one
                        (default off)
  --no-hold             send timer and stdin frames before the first request
                        too (default: hold them until a request arrives)
  --malformed first|last|short
                        corrupt every reply and frame: wrong first byte,
                        wrong last byte, or last byte missing
                        (default: well-formed)
  --silent              log requests but never reply (default off)
  --noise BYTES_PER_SECOND
                        send random bytes at this rate (default 0 = none)
  --pace                deliver bytes at 9600 baud, one per 1.04 ms
                        (default off: each reply in one write)
  --seed N              seed for random codes and noise
                        (default: from std::random_device)
  --help                show this text and exit

SIGINT or SIGTERM removes the link and exits with status 0.
Exit status 2: bad options; 1: the device could not be served.
)";

struct CommandLine {
    readersim::Options options;
    bool framesFromStdin = false;
};

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<readersim::Malformation> ParseMalformation(std::string_view text) {
    if (text == "first") return readersim::Malformation::WrongFirstByte;
    if (text == "last") return readersim::Malformation::WrongLastByte;
    if (text == "short") return readersim::Malformation::MissingLastByte;
    return std::nullopt;
}

// Applies one option's value; returns an error message or nothing.
std::optional<std::string> ApplyOption(const std::string& name, std::string_view value,
                                       CommandLine& line) {
    readersim::Options& options = line.options;
    readersim::Behaviour& behaviour = options.behaviour;
    if (name == "dir") {
        if (value.empty()) return "--dir needs a directory";
        options.linkDir = std::string(value);
    } else if (name == "port") {
        const auto port = ParseNumber<int>(value);
        if (!port || *port < 0 || *port > 255) return "--port takes a number 0..255";
        options.port = *port;
    } else if (name == "ident") {
        if (!readersim::IsValidIdent(value)) return "--ident takes exactly 4 printable characters";
        options.ident = std::string(value);
    } else if (name == "every") {
        const auto seconds = ParseNumber<double>(value);
        if (!seconds || *seconds < 0 || *seconds > 86400) return "--every takes seconds, 0..86400";
        behaviour.frameInterval = std::chrono::milliseconds(static_cast<long>(*seconds * 1000));
        if (*seconds > 0 && behaviour.frameInterval.count() == 0) return "--every is below 1 ms";
    } else if (name == "malformed") {
        const auto malformation = ParseMalformation(value);
        if (!malformation) return "--malformed takes first, last or short";
        behaviour.malformation = *malformation;
    } else if (name == "noise") {
        const auto rate = ParseNumber<double>(value);
        if (!rate || *rate < 0) return "--noise takes a non-negative number of bytes per second";
        behaviour.noiseBytesPerSecond = *rate;
    } else if (name == "seed") {
        const auto seed = ParseNumber<std::uint64_t>(value);
        if (!seed) return "--seed takes a non-negative integer";
        options.seed = *seed;
    } else if (name == "stdin") {
        line.framesFromStdin = true;
    } else if (name == "no-hold") {
        options.holdFramesUntilFirstRequest = false;
    } else if (name == "silent") {
        behaviour.silent = true;
    } else if (name == "pace") {
        behaviour.pace = true;
    }
    return std::nullopt;
}

enum class ParseOutcome { Run, Help, Error };

ParseOutcome ParseCommandLine(int argc, char** argv, CommandLine& line) {
    static const option kOptions[] = {
        {"dir", required_argument, nullptr, 0},
        {"port", required_argument, nullptr, 0},
        {"ident", required_argument, nullptr, 0},
        {"every", required_argument, nullptr, 0},
        {"stdin", no_argument, nullptr, 0},
        {"no-hold", no_argument, nullptr, 0},
        {"malformed", required_argument, nullptr, 0},
        {"silent", no_argument, nullptr, 0},
        {"noise", required_argument, nullptr, 0},
        {"pace", no_argument, nullptr, 0},
        {"seed", required_argument, nullptr, 0},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;  // our own messages, in one style
    int index = 0;
    for (int got; (got = getopt_long(argc, argv, ":", kOptions, &index)) != -1;) {
        if (got == 'h') return ParseOutcome::Help;
        if (got == '?' || got == ':') {
            std::fprintf(stderr, "reader-sim: %s option %s\n",
                         got == '?' ? "unknown" : "missing value for", argv[optind - 1]);
            return ParseOutcome::Error;
        }
        const auto error = ApplyOption(kOptions[index].name, optarg ? optarg : "", line);
        if (error) {
            std::fprintf(stderr, "reader-sim: %s\n", error->c_str());
            return ParseOutcome::Error;
        }
    }
    if (optind < argc) {
        std::fprintf(stderr, "reader-sim: unexpected argument %s\n", argv[optind]);
        return ParseOutcome::Error;
    }
    if (line.options.linkDir.empty()) {
        std::fprintf(stderr, "reader-sim: --dir is required\n");
        return ParseOutcome::Error;
    }
    return ParseOutcome::Run;
}

// Serialises output lines from the serving and console threads.
class Console {
public:
    void Print(readersim::SteadyTime at, const std::string& text) {
        const std::string stamp = WallClockStamp(at);
        std::lock_guard lock(mutex_);
        std::printf("%s %s\n", stamp.c_str(), text.c_str());
        std::fflush(stdout);
    }

private:
    // HH:MM:SS.mmm local time of a steady-clock instant.
    static std::string WallClockStamp(readersim::SteadyTime at) {
        using namespace std::chrono;
        const auto wall =
            system_clock::now() - duration_cast<system_clock::duration>(steady_clock::now() - at);
        const std::time_t seconds = system_clock::to_time_t(wall);
        const auto millis = duration_cast<milliseconds>(wall.time_since_epoch()).count() % 1000;
        std::tm local{};
        localtime_r(&seconds, &local);
        char text[32];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                      local.tm_sec, static_cast<int>(millis));
        return text;
    }

    std::mutex mutex_;
};

std::string DescribeRequest(const readersim::Request& request) {
    std::string text = "request " + readersim::Printable(request.bytes) + " " +
                       std::string(readersim::KindName(request.kind));
    if (request.kind == readersim::RequestKind::Command)
        text += std::string(" ") + request.command + " (" + request.effect + ")";
    text += " -> " + (request.reply.empty() ? "(silent)" : readersim::Printable(request.reply));
    return text;
}

// Replies are shown with their request; everything else gets a line.
std::optional<std::string> DescribeSend(const readersim::Transmission& sent) {
    std::string text;
    switch (sent.kind) {
        case readersim::SendKind::Reply:
            if (sent.ok()) return std::nullopt;
            text = "reply ";
            break;
        case readersim::SendKind::Frame: text = "frame "; break;
        case readersim::SendKind::Raw: text = "raw "; break;
        case readersim::SendKind::Noise: text = "noise "; break;
    }
    text += readersim::Printable(sent.bytes);
    if (!sent.ok()) text += " FAILED: " + sent.error;
    return text;
}

// One frame per input line; returns false once input has ended.
class StdinFrames {
public:
    bool ReadAvailable(ReaderSimulator& simulator) {
        char buffer[512];
        ssize_t got;
        do {
            got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) return false;
        pending_.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            QueueLine(simulator, pending_.substr(0, end));
            pending_.erase(0, end + 1);
        }
        return true;
    }

private:
    static void QueueLine(ReaderSimulator& simulator, std::string line) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        const readersim::Result queued = simulator.QueueFrame(line);
        if (!queued.ok())
            std::fprintf(stderr, "reader-sim: line \"%s\" ignored: %s\n", line.c_str(),
                         queued.error.c_str());
    }

    std::string pending_;
};

// Blocks SIGINT and SIGTERM (before any thread exists, so every thread
// inherits the mask) and returns a descriptor that reports them.
readersim::UniqueFd TakeOverStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return {};
    return readersim::UniqueFd(signalfd(-1, &signals, SFD_CLOEXEC));
}

// Waits for a stop signal while feeding stdin lines to the simulator.
// Returns false when serving ended on its own.
bool ServeConsole(ReaderSimulator& simulator, int signalFd, bool framesFromStdin) {
    StdinFrames frames;
    bool readingStdin = framesFromStdin;
    while (simulator.IsServing()) {
        pollfd watched[2] = {{signalFd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int ready = ::poll(watched, readingStdin ? 2 : 1, kConsolePollMs);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        if (watched[0].revents & POLLIN) return true;
        if (readingStdin && (watched[1].revents & (POLLIN | POLLHUP)))
            readingStdin = frames.ReadAvailable(simulator);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    switch (ParseCommandLine(argc, argv, line)) {
        case ParseOutcome::Help: std::fputs(kUsage, stdout); return 0;
        case ParseOutcome::Error:
            std::fputs("Try 'reader-sim --help'.\n", stderr);
            return kExitUsage;
        case ParseOutcome::Run: break;
    }

    const readersim::UniqueFd signalFd = TakeOverStopSignals();
    if (!signalFd.IsValid()) {
        std::fprintf(stderr, "reader-sim: cannot take over SIGINT/SIGTERM\n");
        return kExitFailure;
    }

    Console console;
    ReaderSimulator simulator(line.options);
    simulator.SetObserver({
        [&console](const readersim::Request& request) {
            console.Print(request.receivedAt, DescribeRequest(request));
        },
        [&console](const readersim::Transmission& sent) {
            if (const auto text = DescribeSend(sent)) console.Print(sent.lastByteAt, *text);
        },
    });
    // Opened first so that the device line comes before any frame line.
    readersim::Result started = simulator.Open();
    if (started.ok()) {
        console.Print(
            std::chrono::steady_clock::now(),
            "reader on " + simulator.LinkPath().string() + " -> " + simulator.DevicePath());
        started = simulator.Start();
    }
    if (!started.ok()) {
        std::fprintf(stderr, "reader-sim: %s\n", started.error.c_str());
        return kExitFailure;
    }

    const bool stoppedBySignal = ServeConsole(simulator, signalFd.Get(), line.framesFromStdin);
    simulator.Stop();
    if (!stoppedBySignal) {
        std::fprintf(stderr, "reader-sim: %s\n", simulator.RunError().c_str());
        return kExitFailure;
    }
    console.Print(std::chrono::steady_clock::now(), "stopped");
    return 0;
}
