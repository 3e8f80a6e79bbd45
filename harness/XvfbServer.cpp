#include "XvfbServer.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace vm4417::test {

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

constexpr int kFirstNumber = 90;
constexpr int kLastNumber = 199;
constexpr int kMaxNumbersTaken = 10;
constexpr auto kStartTimeout = 10s;
constexpr auto kStopTimeout = 5s;
// The server writes its display number to this descriptor once it accepts
// connections (-displayfd).
constexpr int kReadyFd = 3;
constexpr int kExecFailed = 127;

std::string LockPath(int number) { return "/tmp/.X" + std::to_string(number) + "-lock"; }
std::string SocketPath(int number) { return "/tmp/.X11-unix/X" + std::to_string(number); }

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// Milliseconds left until `deadline`, for poll().
int MillisecondsUntil(SteadyClock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Reads the display number the server reports when it is ready. False when
// the server closed the descriptor (it ended) or the deadline passed.
bool WaitForReadyLine(int fd, SteadyClock::time_point deadline) {
    std::string line;
    while (line.find('\n') == std::string::npos) {
        pollfd entry{fd, POLLIN, 0};
        const int polled = poll(&entry, 1, MillisecondsUntil(deadline));
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return false;
        char buffer[32];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        line.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

// Waits up to `timeout` for the child to end; true once it is reaped.
bool Reap(pid_t pid, int& status, SteadyClock::duration timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) return true;
        if (SteadyClock::now() >= deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
}

bool CanConnect(const std::string& displayName, SteadyClock::time_point deadline) {
    do {
        if (Display* display = XOpenDisplay(displayName.c_str())) {
            XCloseDisplay(display);
            return true;
        }
        std::this_thread::sleep_for(20ms);
    } while (SteadyClock::now() < deadline);
    return false;
}

}  // namespace

XvfbServer::~XvfbServer() {
    Stop();
    if (!logPath_.empty()) unlink(logPath_.c_str());
}

bool XvfbServer::Start(int displayNumber) {
    Stop();
    error_.clear();
    if (logPath_.empty()) {
        char path[] = "/tmp/xvfb-server-XXXXXX";
        const int fd = mkstemp(path);
        if (fd < 0) {
            error_ = "cannot create the Xvfb log file in /tmp";
            return false;
        }
        close(fd);
        logPath_ = path;
    }

    if (displayNumber >= 0) {
        if (StartOn(displayNumber) == Outcome::Ready) return true;
        if (error_.empty()) {
            error_ = "Xvfb on :" + std::to_string(displayNumber) +
                     " ended at start; output: " + LogTail();
        }
        return false;
    }
    int taken = 0;
    for (int number = kFirstNumber; number <= kLastNumber; ++number) {
        if (Exists(LockPath(number)) || Exists(SocketPath(number))) continue;
        // Another process may claim the same number at the same moment; the
        // loser's server ends at once and the next number is tried.
        switch (StartOn(number)) {
            case Outcome::Ready: return true;
            case Outcome::Failed: return false;
            case Outcome::NumberTaken:
                if (++taken == kMaxNumbersTaken) {
                    error_ = "Xvfb ended at start on " + std::to_string(taken) +
                             " display numbers; last output: " + LogTail();
                    return false;
                }
                break;
        }
    }
    error_ = "no free display number from :" + std::to_string(kFirstNumber) +
             " to :" + std::to_string(kLastNumber);
    return false;
}

XvfbServer::Outcome XvfbServer::StartOn(int number) {
    const std::string display = ":" + std::to_string(number);
    const std::string readyFd = std::to_string(kReadyFd);
    std::vector<const char*> argv{"Xvfb",        display.c_str(), "-screen", "0",
                                  "1024x768x24", "-nolisten",     "tcp",     "-noreset",
                                  "-displayfd",  readyFd.c_str(), nullptr};
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        error_ = "pipe2 failed";
        return Outcome::Failed;
    }
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        close(ready[0]);
        close(ready[1]);
        error_ = "fork failed";
        return Outcome::Failed;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here to exec. The server goes
        // down with this process, even when the process is killed.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(kExecFailed);
        const int log = open(logPath_.c_str(), O_WRONLY | O_TRUNC);
        const int null = open("/dev/null", O_RDONLY);
        if (log < 0 || null < 0) _exit(kExecFailed);
        dup2(null, STDIN_FILENO);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        if (ready[1] == kReadyFd) {
            fcntl(kReadyFd, F_SETFD, 0);
        } else {
            dup2(ready[1], kReadyFd);
        }
        execvp(argv[0], const_cast<char* const*>(argv.data()));
        _exit(kExecFailed);
    }
    close(ready[1]);
    pid_ = child;
    number_ = number;

    const auto deadline = SteadyClock::now() + kStartTimeout;
    const bool reported = WaitForReadyLine(ready[0], deadline);
    close(ready[0]);
    if (reported && CanConnect(display, deadline)) return Outcome::Ready;

    // Without the report before the deadline the server has ended.
    int status = 0;
    if (!reported && SteadyClock::now() < deadline && Reap(child, status, kStopTimeout)) {
        pid_ = -1;
        if (WIFEXITED(status) && WEXITSTATUS(status) == kExecFailed) {
            error_ = "cannot run Xvfb (is the xvfb package installed?)";
            return Outcome::Failed;
        }
        return Outcome::NumberTaken;
    }
    Stop();
    error_ = "Xvfb on " + display + " did not accept connections within " +
             std::to_string(kStartTimeout.count()) + " s; output: " + LogTail();
    return Outcome::Failed;
}

void XvfbServer::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    if (!Reap(pid_, status, kStopTimeout)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        // A killed server leaves its lock and socket behind.
        unlink(LockPath(number_).c_str());
        unlink(SocketPath(number_).c_str());
    }
    pid_ = -1;
}

std::string XvfbServer::LogTail() const {
    std::ifstream log(logPath_);
    std::stringstream text;
    text << log.rdbuf();
    std::string all = text.str();
    constexpr std::size_t kTail = 600;
    if (all.size() > kTail) all.erase(0, all.size() - kTail);
    return all.empty() ? "(none)" : all;
}

}  // namespace vm4417::test
