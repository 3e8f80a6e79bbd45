#include "ReaderSimulator.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

namespace readersim {
namespace {

using Clock = std::chrono::steady_clock;
using vm4417::posix::ErrnoText;
using vm4417::posix::WriteAll;
using vm4417::posix::WriteOutcome;

// Like WriteAll, but one byte per `byteTime`, each at an absolute deadline
// from the start so that delays do not accumulate: this is how a serial line
// at a fixed baud rate delivers bytes. `timeout` bounds each byte's wait for
// buffer room.
WriteOutcome WritePaced(int fd, std::string_view bytes, std::chrono::nanoseconds byteTime,
                        std::chrono::milliseconds timeout) {
    const auto start = Clock::now();
    WriteOutcome outcome{{}, 0, start};
    for (std::size_t i = 0; i < bytes.size() && outcome.error.empty(); ++i) {
        // A byte is complete on the line only after its full frame time.
        std::this_thread::sleep_until(start + byteTime * static_cast<long>(i + 1));
        outcome = WriteAll(fd, bytes.substr(i, 1), timeout);
    }
    return outcome;
}

// 8N1 puts 10 bits on the line per byte; at 9600 baud that is 1.0417 ms.
constexpr std::chrono::nanoseconds kByteTime{1'041'667};
// A client that stops reading must not stall the simulator for long.
constexpr std::chrono::milliseconds kWriteTimeout{500};
// Upper bound on one poll, so that nothing depends on a wake-up arriving.
constexpr std::chrono::milliseconds kIdlePoll{1000};
constexpr std::size_t kReadChunk = 256;
constexpr const char* kBadFrameCode = "a frame code has 14 printable characters";

// A repeating deadline. A new period restarts it, so that a changed rate
// takes effect at once instead of after the old period has run out.
class Ticker {
public:
    void SetPeriod(std::optional<Clock::duration> period, Clock::time_point now) {
        if (period == period_) return;
        period_ = period;
        next_.reset();
        if (period_) next_ = now + *period_;
    }

    // True once per elapsed period. Missed ticks are dropped rather than
    // fired in a burst after a long write.
    bool Fire(Clock::time_point now) {
        if (!next_ || now < *next_) return false;
        *next_ += *period_;
        if (*next_ <= now) *next_ = now + *period_;
        return true;
    }

    Clock::time_point EarliestWith(Clock::time_point other) const {
        return next_ ? std::min(*next_, other) : other;
    }

private:
    std::optional<Clock::duration> period_;
    std::optional<Clock::time_point> next_;
};

}  // namespace

struct ReaderSimulator::Schedule {
    std::optional<Clock::duration> framePeriod;
    std::optional<Clock::duration> noisePeriod;
};

ReaderSimulator::ReaderSimulator(Options options)
    : options_(std::move(options)),
      wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      behaviour_(options_.behaviour),
      framesHeld_(options_.holdFramesUntilFirstRequest),
      latestReadCode_(kReadCodeLength, '0'),
      random_(options_.seed ? *options_.seed : std::random_device{}()) {}

ReaderSimulator::~ReaderSimulator() { Stop(); }

// ---- lifecycle ----

Result ReaderSimulator::Open() {
    if (!wakeFd_.IsValid()) return {"cannot create the wake-up event"};
    if (options_.linkDir.empty()) return {"no directory for the link"};
    if (options_.port < 0 || options_.port > 255) return {"the port number must be 0..255"};
    if (!IsValidIdent(options_.ident)) return {"the identification must be 4 printable characters"};

    std::lock_guard writeLock(writeMutex_);
    if (device_.IsOpen()) return {};
    if (Result opened = device_.Open(LinkPath()); !opened.ok()) return opened;
    parser_.Reset();
    std::lock_guard stateLock(stateMutex_);
    framesHeld_ = options_.holdFramesUntilFirstRequest;
    blocked_ = false;
    ledOn_ = false;
    return {};
}

Result ReaderSimulator::Run(std::stop_token stop) {
    Result outcome = Open();
    {
        std::lock_guard lock(stateMutex_);
        serving_ = outcome.ok();
        runError_ = outcome.error;
    }
    if (!outcome.ok()) return outcome;

    std::stop_callback wakeOnStop(stop, [this] { Wake(); });
    Ticker frames;
    Ticker noise;
    while (outcome.ok() && !stop.stop_requested()) {
        const auto now = Clock::now();
        const Schedule schedule = CurrentSchedule();
        frames.SetPeriod(schedule.framePeriod, now);
        noise.SetPeriod(schedule.noisePeriod, now);
        if (frames.Fire(now)) SendFrame();
        if (noise.Fire(now)) SendNoise();
        outcome = ServeOnce(noise.EarliestWith(frames.EarliestWith(now + kIdlePoll)));
    }
    CloseDevice();
    std::lock_guard lock(stateMutex_);
    serving_ = false;
    runError_ = outcome.error;
    return outcome;
}

Result ReaderSimulator::Start() {
    if (IsServing()) return {};
    if (thread_.joinable()) thread_.join();  // a run that ended on its own
    if (Result opened = Open(); !opened.ok()) return opened;
    {
        // Set here rather than in the thread so that IsServing() is true as
        // soon as Start() returns.
        std::lock_guard lock(stateMutex_);
        serving_ = true;
    }
    thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
    return {};
}

void ReaderSimulator::Stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    // A Run on a thread of the caller's still uses the device.
    if (!IsServing()) CloseDevice();
}

bool ReaderSimulator::IsServing() const {
    std::lock_guard lock(stateMutex_);
    return serving_;
}

std::string ReaderSimulator::RunError() const {
    std::lock_guard lock(stateMutex_);
    return runError_;
}

std::filesystem::path ReaderSimulator::LinkPath() const {
    return options_.linkDir / ("COM" + std::to_string(options_.port));
}

std::string ReaderSimulator::DevicePath() const {
    std::lock_guard lock(writeMutex_);
    return device_.SlavePath();
}

void ReaderSimulator::CloseDevice() {
    std::lock_guard lock(writeMutex_);
    device_.Close();
}

// ---- serving ----

Result ReaderSimulator::ServeOnce(Clock::time_point until) {
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    pollfd watched[2] = {{device_.MasterFd(), POLLIN, 0}, {wakeFd_.Get(), POLLIN, 0}};
    const int ready = ::poll(watched, 2, static_cast<int>(std::max<long>(0, wait.count())));
    if (ready < 0) return errno == EINTR ? Result{} : Result{"poll: " + ErrnoText(errno)};
    if (watched[1].revents & POLLIN) DrainWake();
    if (watched[0].revents & POLLIN) return ReadAndAnswer();
    if (watched[0].revents & (POLLHUP | POLLERR | POLLNVAL))
        return {"the pseudo-terminal reported a hang-up"};
    return {};
}

Result ReaderSimulator::ReadAndAnswer() {
    std::string received;
    char buffer[kReadChunk];
    for (;;) {
        const ssize_t got = ::read(device_.MasterFd(), buffer, sizeof buffer);
        if (got > 0) {
            received.append(buffer, static_cast<std::size_t>(got));
            if (static_cast<std::size_t>(got) < sizeof buffer) break;
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) break;
        return {"read: " + ErrnoText(got < 0 ? errno : EIO)};
    }
    const SteadyTime receivedAt = Clock::now();
    for (const ParsedRequest& request : parser_.Feed(received)) Answer(request, receivedAt);
    return {};
}

void ReaderSimulator::Answer(const ParsedRequest& parsed, SteadyTime receivedAt) {
    Request request{parsed.kind, parsed.bytes, parsed.command, {}, {}, receivedAt};
    std::string reply;
    Behaviour behaviour;
    {
        std::lock_guard lock(stateMutex_);
        behaviour = behaviour_;
        switch (parsed.kind) {
            case RequestKind::Identification: reply = IdentificationReply(options_.ident); break;
            case RequestKind::Command:
                request.effect = ApplyCommand(parsed.command);
                reply = CommandReply(parsed.command);
                break;
            case RequestKind::RepeatedRead: reply = RepeatedReadReply(latestReadCode_); break;
        }
    }
    if (!behaviour.silent) {
        request.reply = Malform(std::move(reply), behaviour.malformation);
        Write(SendKind::Reply, request.reply, behaviour.pace);
    }
    std::vector<std::string> released;
    {
        // Logged only after the reply went out, so that a test woken by
        // WaitForRequests can read the reply at once.
        std::lock_guard lock(stateMutex_);
        requests_.push_back(request);
        released = ReleaseHeldFrames();
    }
    requestLogged_.notify_all();
    if (observer_.onRequest) observer_.onRequest(request);
    for (const std::string& code : released) SendFrame(code);
}

std::string ReaderSimulator::ApplyCommand(char command) {
    switch (command) {
        case 'B': blocked_ = true; return "reader blocked";
        case 'O': blocked_ = false; return "reader unblocked";
        case 'R': ledOn_ = true; return "LED on";
        case 'Z': ledOn_ = false; return "LED off";
        default: return "unknown command, acknowledged";
    }
}

std::vector<std::string> ReaderSimulator::ReleaseHeldFrames() {
    if (!framesHeld_) return {};
    framesHeld_ = false;
    return std::exchange(heldFrames_, {});
}

ReaderSimulator::Schedule ReaderSimulator::CurrentSchedule() const {
    std::lock_guard lock(stateMutex_);
    Schedule schedule;
    if (!framesHeld_ && behaviour_.frameInterval.count() > 0)
        schedule.framePeriod = behaviour_.frameInterval;
    if (behaviour_.noiseBytesPerSecond > 0) {
        // No faster than the line itself could carry.
        const std::chrono::duration<double> period(1.0 / behaviour_.noiseBytesPerSecond);
        schedule.noisePeriod = std::max<Clock::duration>(
            kByteTime, std::chrono::duration_cast<Clock::duration>(period));
    }
    return schedule;
}

void ReaderSimulator::Wake() {
    const std::uint64_t one = 1;
    if (::write(wakeFd_.Get(), &one, sizeof one) < 0) {
        // Only fails when the counter is saturated: a wake-up is pending anyway.
    }
}

void ReaderSimulator::DrainWake() {
    std::uint64_t count = 0;
    if (::read(wakeFd_.Get(), &count, sizeof count) < 0) {
        // EAGAIN: another poll already consumed it.
    }
}

// ---- sending ----

Transmission ReaderSimulator::SendFrame(std::string_view code) {
    if (!code.empty() && !IsValidFrameCode(code))
        return {SendKind::Frame, {}, Clock::now(), kBadFrameCode};
    std::string frame;
    bool pace = false;
    {
        std::lock_guard lock(stateMutex_);
        const std::string chosen = code.empty() ? RandomCode() : std::string(code);
        latestReadCode_ = chosen + std::string(kReadCodePadding);
        frame = Malform(CodeFrame(chosen), behaviour_.malformation);
        pace = behaviour_.pace;
    }
    return Write(SendKind::Frame, std::move(frame), pace);
}

Result ReaderSimulator::QueueFrame(std::string_view code) {
    if (!code.empty() && !IsValidFrameCode(code)) return {kBadFrameCode};
    {
        std::lock_guard lock(stateMutex_);
        if (framesHeld_) {
            heldFrames_.emplace_back(code);
            return {};
        }
    }
    return {SendFrame(code).error};
}

Transmission ReaderSimulator::SendRaw(std::string_view bytes) {
    bool pace = false;
    {
        std::lock_guard lock(stateMutex_);
        pace = behaviour_.pace;
    }
    return Write(SendKind::Raw, std::string(bytes), pace);
}

void ReaderSimulator::SendNoise() {
    std::string noise(1, '\0');
    bool pace = false;
    {
        std::lock_guard lock(stateMutex_);
        noise[0] = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random_));
        pace = behaviour_.pace;
    }
    Write(SendKind::Noise, std::move(noise), pace);
}

Transmission ReaderSimulator::Write(SendKind kind, std::string bytes, bool pace) {
    Transmission sent{kind, std::move(bytes), {}, {}};
    {
        std::lock_guard writeLock(writeMutex_);
        if (!device_.IsOpen()) {
            sent.error = "the device is not open";
            sent.lastByteAt = Clock::now();
        } else {
            // A pseudo-terminal write is delivered when write() returns, so
            // there is nothing to drain.
            const WriteOutcome outcome =
                pace ? WritePaced(device_.MasterFd(), sent.bytes, kByteTime, kWriteTimeout)
                     : WriteAll(device_.MasterFd(), sent.bytes, kWriteTimeout);
            sent.error = outcome.error;
            sent.lastByteAt = outcome.lastByteAt;
        }
        // Still under the write lock, so the log keeps the order on the line.
        std::lock_guard stateLock(stateMutex_);
        transmissions_.push_back(sent);
    }
    if (observer_.onSend) observer_.onSend(sent);
    return sent;
}

std::string ReaderSimulator::RandomCode() {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::uniform_int_distribution<int> digit(0, 15);
    std::string code(kFrameCodeLength, '0');
    for (char& c : code) c = kHexDigits[digit(random_)];
    return code;
}

// ---- behaviour and logs ----

void ReaderSimulator::SetSilent(bool silent) {
    std::lock_guard lock(stateMutex_);
    behaviour_.silent = silent;
}

void ReaderSimulator::SetMalformation(Malformation malformation) {
    std::lock_guard lock(stateMutex_);
    behaviour_.malformation = malformation;
}

void ReaderSimulator::SetPacing(bool pace) {
    std::lock_guard lock(stateMutex_);
    behaviour_.pace = pace;
}

void ReaderSimulator::SetNoiseRate(double bytesPerSecond) {
    {
        std::lock_guard lock(stateMutex_);
        behaviour_.noiseBytesPerSecond = bytesPerSecond;
    }
    Wake();  // the serving loop may be sleeping on the old schedule
}

void ReaderSimulator::SetFrameInterval(std::chrono::milliseconds interval) {
    {
        std::lock_guard lock(stateMutex_);
        behaviour_.frameInterval = interval;
    }
    Wake();
}

std::vector<Request> ReaderSimulator::Requests() const {
    std::lock_guard lock(stateMutex_);
    return requests_;
}

std::vector<Transmission> ReaderSimulator::Transmissions() const {
    std::lock_guard lock(stateMutex_);
    return transmissions_;
}

bool ReaderSimulator::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(stateMutex_);
    return requestLogged_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

bool ReaderSimulator::IsBlocked() const {
    std::lock_guard lock(stateMutex_);
    return blocked_;
}

bool ReaderSimulator::IsLedOn() const {
    std::lock_guard lock(stateMutex_);
    return ledOn_;
}

std::string ReaderSimulator::LatestReadCode() const {
    std::lock_guard lock(stateMutex_);
    return latestReadCode_;
}

}  // namespace readersim
