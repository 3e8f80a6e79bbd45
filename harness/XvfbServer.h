#pragma once
// A private X server (Xvfb) for tests and measurements that need a real
// display. It runs on a display number of its own, so it never disturbs a
// desktop or another test, and it is stopped and reaped on destruction.

#include <sys/types.h>

#include <string>

namespace vm4417::test {

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer();

    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts Xvfb (one 1024x768x24 screen, no TCP, no reset) on the first
    // free display from :90 to :199, or on `displayNumber` when given, and
    // waits up to 10 s until a client can connect. False, with Error()
    // saying why, when it could not be started.
    bool Start(int displayNumber = -1);
    // Ends the server (SIGTERM, SIGKILL when it lingers) and reaps it.
    void Stop();

    bool Running() const { return pid_ > 0; }
    int Number() const { return number_; }
    // ":<n>", for XOpenDisplay and the -display option of the X tools.
    std::string DisplayName() const { return ":" + std::to_string(number_); }
    const std::string& Error() const { return error_; }

private:
    enum class Outcome { Ready, NumberTaken, Failed };
    Outcome StartOn(int number);
    std::string LogTail() const;

    pid_t pid_ = -1;
    int number_ = -1;
    std::string error_;
    std::string logPath_;
};

}  // namespace vm4417::test
