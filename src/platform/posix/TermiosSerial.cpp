#include "TermiosSerial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>

namespace vm4417 {

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr std::chrono::seconds kWriteBound{1};

timespec ToTimespec(SteadyClock::duration d) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

// Waits for `events` on fd until `deadline`; the revents, or 0 on time-out.
short WaitFor(int fd, short events, SteadyClock::time_point deadline) {
    for (;;) {
        const auto left = deadline - SteadyClock::now();
        if (left <= SteadyClock::duration::zero()) return 0;
        pollfd p{fd, events, 0};
        const timespec timeout = ToTimespec(left);
        const int rc = ppoll(&p, 1, &timeout, nullptr);
        if (rc > 0) return p.revents;
        if (rc == 0) return 0;
        if (errno != EINTR) return POLLERR;
    }
}

speed_t SpeedConstant(int baudRate) {
    switch (baudRate) {
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        default: return B0;
    }
}

tcflag_t DataBitsFlag(int bits) {
    switch (bits) {
        case 5: return CS5;
        case 6: return CS6;
        case 7: return CS7;
        default: return CS8;
    }
}

// Raw byte transport at the requested line settings. Flow control (IXON,
// IXOFF, CRTSCTS) and the special characters stay as the driver had them.
bool ApplyLineSettings(int fd, const LineSettings& line) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    const speed_t speed = SpeedConstant(line.baudRate);
    if (speed == B0 || cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) {
        return false;
    }
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
    tio.c_cflag |= DataBitsFlag(line.dataBits) | CREAD | CLOCAL;
    if (line.parity) tio.c_cflag |= PARENB;
    if (line.stopBits == 2) tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    // Reads are paced by poll(); the driver itself never waits.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Pseudo-terminals and some adapters have no modem lines; that is no error.
bool ChangeModemLine(int fd, unsigned long request, int line) {
    if (ioctl(fd, request, &line) == 0) return true;
    return errno == ENOTTY || errno == EINVAL;
}

bool RaiseModemLines(int fd) {
    const bool rts = ChangeModemLine(fd, TIOCMBIS, TIOCM_RTS);
    const bool dtr = ChangeModemLine(fd, TIOCMBIS, TIOCM_DTR);
    return rts && dtr;
}

class TermiosLine final : public SerialLine {
public:
    TermiosLine(int fd, ReadTimeouts timeouts) : fd_(fd), timeouts_(timeouts) {}
    ~TermiosLine() override {
        // Lift the exclusive mode so that the next open of the device works.
        ioctl(fd_, TIOCNXCL);
        close(fd_);
    }
    TermiosLine(const TermiosLine&) = delete;
    TermiosLine& operator=(const TermiosLine&) = delete;

    bool Write(std::span<const std::uint8_t> bytes) override;
    std::vector<std::uint8_t> Read(std::size_t count) override;
    bool DropModemLines() override {
        const bool dtr = ChangeModemLine(fd_, TIOCMBIC, TIOCM_DTR);
        const bool rts = ChangeModemLine(fd_, TIOCMBIC, TIOCM_RTS);
        return dtr && rts;
    }

private:
    int fd_;
    ReadTimeouts timeouts_;
};

bool TermiosLine::Write(std::span<const std::uint8_t> bytes) {
    const auto deadline = SteadyClock::now() + kWriteBound;
    while (!bytes.empty()) {
        const ssize_t n = write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        const short revents = WaitFor(fd_, POLLOUT, deadline);
        if (revents == 0 || (revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
    }
    return true;
}

std::vector<std::uint8_t> TermiosLine::Read(std::size_t count) {
    const auto start = SteadyClock::now();
    const auto overall = start + timeouts_.perByte * static_cast<long>(count) + timeouts_.constant;
    std::vector<std::uint8_t> received;
    received.reserve(count);
    SteadyClock::time_point latestByte{};
    while (received.size() < count) {
        auto deadline = overall;
        if (!received.empty()) deadline = std::min(deadline, latestByte + timeouts_.interByte);
        const short revents = WaitFor(fd_, POLLIN, deadline);
        if (revents == 0) break;
        // A vanished device reports an error or a hang-up with nothing to read.
        if (!(revents & POLLIN)) break;
        std::uint8_t buffer[256];
        const std::size_t wanted = std::min(sizeof buffer, count - received.size());
        const ssize_t n = read(fd_, buffer, wanted);
        if (n > 0) {
            received.insert(received.end(), buffer, buffer + n);
            latestByte = SteadyClock::now();
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            break;
        }
    }
    return received;
}

// Opens without becoming the controlling terminal and without waiting for a
// carrier, and makes sure no other program (or second instance) shares it.
int OpenExclusively(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool IsCharacterDevice(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

}  // namespace

SerialLocations TermiosSerialPorts::LocationsFromEnvironment() {
    SerialLocations locations;
    if (const char* dir = std::getenv("VM4417_PORT_DIR"); dir != nullptr && *dir != '\0') {
        locations.portDirectory = dir;
    }
    return locations;
}

std::vector<std::string> TermiosSerialPorts::CandidatePaths(std::uint8_t number) const {
    const std::string n = std::to_string(number);
    if (locations_.portDirectory) return {*locations_.portDirectory + "/COM" + n};
    const std::string& dev = locations_.deviceDirectory;
    return {dev + "/ttyUSB" + n, dev + "/ttyACM" + n, dev + "/ttyS" + n};
}

std::optional<std::string> TermiosSerialPorts::DevicePath(std::uint8_t number) const {
    for (const std::string& path : CandidatePaths(number)) {
        if (access(path.c_str(), F_OK) == 0) return path;
    }
    return std::nullopt;
}

bool TermiosSerialPorts::IsActiveConsole(const std::string& path) const {
    struct stat device {};
    if (stat(path.c_str(), &device) != 0) return false;
    std::ifstream list(locations_.consoleList);
    std::string name;
    while (list >> name) {
        struct stat console {};
        const std::string consolePath = locations_.deviceDirectory + "/" + name;
        if (stat(consolePath.c_str(), &console) == 0 && S_ISCHR(console.st_mode) &&
            console.st_rdev == device.st_rdev) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<SerialLine> TermiosSerialPorts::Open(std::uint8_t number,
                                                     const PortConfig& config) {
    const auto path = DevicePath(number);
    if (!path || !IsCharacterDevice(*path) || IsActiveConsole(*path)) return nullptr;
    const int fd = OpenExclusively(*path);
    if (fd < 0) return nullptr;
    // From here the line owns the descriptor, so every failure releases it.
    auto line = std::make_unique<TermiosLine>(fd, config.timeouts);
    const bool configured = ApplyLineSettings(fd, config.line);
    const bool modemLines = !config.raiseModemLines || RaiseModemLines(fd);
    if (!configured || !modemLines) return nullptr;
    return line;
}

}  // namespace vm4417
