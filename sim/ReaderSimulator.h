#pragma once
// A simulated chip reader on a pseudo-terminal, for the program's tests (in
// process) and for manual runs (reader-sim). It answers requests, sends code
// frames on demand or on a timer, can misbehave on purpose, and keeps a log
// of everything it received and sent.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "PosixIo.h"
#include "PtyDevice.h"
#include "ReaderProtocol.h"

namespace readersim {

using SteadyTime = std::chrono::steady_clock::time_point;

// What may be changed while the simulator runs.
struct Behaviour {
    bool silent = false;                             // log requests but never reply
    Malformation malformation = Malformation::None;  // replies and frames
    double noiseBytesPerSecond = 0;                  // random bytes in between; 0 = none
    bool pace = false;  // deliver bytes at 9600-baud speed instead of at once
    std::chrono::milliseconds frameInterval{0};  // random frames; 0 = none
};

struct Options {
    std::filesystem::path linkDir;  // where COM<port> is linked
    int port = 1;                   // 0..255
    std::string ident = "1234";     // 4 characters
    // Timer and queued frames wait for the first request, so that a program
    // started later finds no stale frames ahead of its identification reply.
    bool holdFramesUntilFirstRequest = true;
    std::optional<std::uint64_t> seed;  // none: from std::random_device
    Behaviour behaviour;
};

struct Request {
    RequestKind kind = RequestKind::Identification;
    std::string bytes;
    char command = 0;    // the letter of a Command
    std::string effect;  // what it did to the reader, e.g. "LED on"
    std::string reply;   // the bytes sent back; empty when silent
    SteadyTime receivedAt;
};

enum class SendKind { Reply, Frame, Raw, Noise };

struct Transmission {
    SendKind kind = SendKind::Raw;
    std::string bytes;
    SteadyTime lastByteAt;  // when the last byte was handed to the kernel
    std::string error;      // empty when every byte went out
    bool ok() const { return error.empty(); }
};

// Called on whichever thread did the work, with no simulator lock held;
// they must not call Stop().
struct Observer {
    std::function<void(const Request&)> onRequest;
    std::function<void(const Transmission&)> onSend;
};

class ReaderSimulator {
public:
    explicit ReaderSimulator(Options options);
    // Stops serving and removes the link.
    ~ReaderSimulator();
    ReaderSimulator(const ReaderSimulator&) = delete;
    ReaderSimulator& operator=(const ReaderSimulator&) = delete;

    // Must be set before Open/Start/Run.
    void SetObserver(Observer observer) { observer_ = std::move(observer); }

    // Creates the pseudo-terminal and the link; does nothing if already open.
    // Each opening starts like a freshly powered reader: nothing pending,
    // not blocked, LED off, frames held again (if so configured).
    Result Open();
    // Opens if needed and serves on the calling thread until `stop` is
    // requested or the device fails, then closes the device. Only `stop`
    // ends it; Stop() is for the thread of Start().
    Result Run(std::stop_token stop);
    // Opens and serves on a background thread until Stop(). When this
    // returns the link exists. Does nothing while already serving.
    Result Start();
    // Stops serving and closes the device: to the client the reader has
    // vanished (poll reports POLLHUP, reads return 0, writes fail with EIO)
    // and the link is gone. The logs remain; a later
    // Start() plugs in a new device under the same link.
    void Stop();
    // True while Run is serving (on any thread).
    bool IsServing() const;
    // Why serving last ended on its own; empty if it did not.
    std::string RunError() const;

    // <linkDir>/COM<port>, whether or not it exists at the moment.
    std::filesystem::path LinkPath() const;
    // The slave device the link points to; empty while closed.
    std::string DevicePath() const;

    // Sends a spontaneous frame now. `code` has 14 characters; empty means
    // random hex digits. Malformation and pacing apply, and later repeated
    // reads report this code.
    Transmission SendFrame(std::string_view code = {});
    // Like SendFrame, but while frames are held it waits for the first
    // request and goes out right after that request's reply.
    Result QueueFrame(std::string_view code = {});
    // Sends `bytes` unchanged (pacing applies), for garbage and torn frames.
    Transmission SendRaw(std::string_view bytes);

    // Behaviour switches, safe from any thread; they apply from the next
    // reply, frame or noise byte on.
    void SetSilent(bool silent);
    void SetMalformation(Malformation malformation);
    void SetNoiseRate(double bytesPerSecond);
    void SetPacing(bool pace);
    void SetFrameInterval(std::chrono::milliseconds interval);

    // Copies of the logs, oldest first.
    std::vector<Request> Requests() const;
    std::vector<Transmission> Transmissions() const;
    // True once at least `count` requests have been received and answered.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

    // Reader state as last set by the B/O and R/Z commands.
    bool IsBlocked() const;
    bool IsLedOn() const;
    // The code a repeated read reports: the latest frame code, padded.
    std::string LatestReadCode() const;

private:
    struct Schedule;

    Result ServeOnce(std::chrono::steady_clock::time_point until);
    Result ReadAndAnswer();
    void Answer(const ParsedRequest& parsed, SteadyTime receivedAt);
    std::string ApplyCommand(char command);
    std::vector<std::string> ReleaseHeldFrames();
    Schedule CurrentSchedule() const;
    void SendNoise();
    Transmission Write(SendKind kind, std::string bytes, bool pace);
    std::string RandomCode();
    void Wake();
    void DrainWake();
    void CloseDevice();

    const Options options_;
    Observer observer_;
    UniqueFd wakeFd_;       // lets other threads interrupt the poll
    RequestParser parser_;  // serving thread only
    std::jthread thread_;

    // Guards the device and orders whole writes so frames never interleave.
    // Taken before stateMutex_ when both are needed.
    mutable std::mutex writeMutex_;
    PtyDevice device_;

    mutable std::mutex stateMutex_;
    mutable std::condition_variable requestLogged_;
    Behaviour behaviour_;
    bool serving_ = false;
    std::string runError_;
    bool framesHeld_;
    std::vector<std::string> heldFrames_;
    bool blocked_ = false;
    bool ledOn_ = false;
    std::string latestReadCode_;
    std::mt19937_64 random_;
    std::vector<Request> requests_;
    std::vector<Transmission> transmissions_;
};

}  // namespace readersim
