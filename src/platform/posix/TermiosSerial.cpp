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
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "PosixIo.h"

namespace vm4417 {

namespace {

using posix::ErrnoStatus;
using posix::PollUntil;
using posix::SteadyClock;
using posix::UniqueFd;
constexpr std::chrono::seconds kWriteBound{1};

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
    TermiosLine(UniqueFd fd, ReadTimeouts timeouts) : fd_(std::move(fd)), timeouts_(timeouts) {}
    ~TermiosLine() override {
        // Lift the exclusive mode so that the next open of the device works.
        ioctl(fd_.Get(), TIOCNXCL);
    }
    TermiosLine(const TermiosLine&) = delete;
    TermiosLine& operator=(const TermiosLine&) = delete;

    bool Write(std::span<const std::uint8_t> bytes) override;
    std::vector<std::uint8_t> Read(std::size_t count) override;
    bool DropModemLines() override {
        const bool dtr = ChangeModemLine(fd_.Get(), TIOCMBIC, TIOCM_DTR);
        NoteGoneIf(!dtr && MeansGone(errno));
        const bool rts = ChangeModemLine(fd_.Get(), TIOCMBIC, TIOCM_RTS);
        NoteGoneIf(!rts && MeansGone(errno));
        return dtr && rts;
    }
    bool IsLost() const override { return lost_; }

private:
    // A hang-up, an unplugged adapter (EIO, ENODEV, ENXIO) or a closed
    // pseudo-terminal (read() returning 0 while poll reports data) means the
    // device is gone for good: this descriptor will never work again.
    void NoteGoneIf(bool gone) { lost_ = lost_ || gone; }
    static bool MeansGone(int error) {
        return error == EIO || error == ENODEV || error == ENXIO || error == EBADF;
    }

    UniqueFd fd_;
    ReadTimeouts timeouts_;
    bool lost_ = false;
};

bool TermiosLine::Write(std::span<const std::uint8_t> bytes) {
    if (lost_) return false;
    const posix::WriteOutcome outcome = posix::WriteAll(fd_.Get(), bytes, kWriteBound);
    if (!outcome.error.empty()) NoteGoneIf(MeansGone(outcome.errorNumber));
    return outcome.error.empty();
}

std::vector<std::uint8_t> TermiosLine::Read(std::size_t count) {
    std::vector<std::uint8_t> received;
    if (lost_) return received;
    const auto start = SteadyClock::now();
    const auto overall = start + timeouts_.perByte * static_cast<long>(count) + timeouts_.constant;
    received.reserve(count);
    SteadyClock::time_point latestByte{};
    while (received.size() < count) {
        auto deadline = overall;
        if (!received.empty()) deadline = std::min(deadline, latestByte + timeouts_.interByte);
        const short revents = PollUntil(fd_.Get(), POLLIN, deadline);
        if (revents == 0) break;
        if (!(revents & POLLIN)) {
            NoteGoneIf((revents & (POLLHUP | POLLNVAL)) != 0);
            break;
        }
        std::uint8_t buffer[256];
        const std::size_t wanted = std::min(sizeof buffer, count - received.size());
        const ssize_t n = read(fd_.Get(), buffer, wanted);
        if (n > 0) {
            received.insert(received.end(), buffer, buffer + n);
            latestByte = SteadyClock::now();
        } else if (n == 0) {
            NoteGoneIf(true);
            break;
        } else if (errno != EINTR && errno != EAGAIN) {
            NoteGoneIf(MeansGone(errno));
            break;
        }
    }
    return received;
}

// Opens without becoming the controlling terminal and without waiting for a
// carrier, and makes sure no other program (or second instance) shares it.
Status OpenExclusively(const std::string& path, UniqueFd& fd) {
    fd.Reset(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsValid()) return ErrnoStatus("open", path, errno);
    if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        fd.Reset();
        return ErrnoStatus("flock", path, error);
    }
    if (ioctl(fd.Get(), TIOCEXCL) != 0) {
        const int error = errno;
        fd.Reset();
        return ErrnoStatus("TIOCEXCL", path, error);
    }
    return Status::Success();
}

Status CheckCharacterDevice(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return ErrnoStatus("stat", path, errno);
    if (!S_ISCHR(st.st_mode))
        return Status::Failure(Fault::WrongKind, path + ": not a terminal device");
    return Status::Success();
}

// Every use of a port goes through these steps, so that listing the ports
// opens nothing a scan would not: the device the number means, a terminal
// device, not the console, and nobody else holding it.
Status OpenChecked(const TermiosSerialPorts& ports, std::uint8_t number, std::string& path,
                   UniqueFd& fd) {
    const auto device = ports.DevicePath(number);
    if (!device) {
        return Status::Failure(Fault::Missing,
                               "COM" + std::to_string(number) + ": no device for this port number");
    }
    path = *device;
    if (Status checked = CheckCharacterDevice(path); !checked.Ok()) return checked;
    if (ports.IsActiveConsole(path)) {
        return Status::Failure(Fault::Console, path + ": the system console");
    }
    return OpenExclusively(path, fd);
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

namespace {

// The port number in a device name: "ttyUSB12" with the prefix "ttyUSB"
// gives 12; anything else, and numbers above 255, nothing.
std::optional<std::uint8_t> NumberAfter(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || name.size() == prefix.size()) return std::nullopt;
    const std::string_view digits = name.substr(prefix.size());
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || value > 255) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

// Numbers named by the folder's entries: COM<n> in a port folder, the tty
// nodes in /dev.
std::set<std::uint8_t> NamedNumbers(const SerialLocations& locations) {
    namespace fs = std::filesystem;
    const bool portFolder = locations.portDirectory.has_value();
    const fs::path folder = portFolder ? *locations.portDirectory : locations.deviceDirectory;
    std::set<std::uint8_t> numbers;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        for (const std::string_view prefix :
             portFolder ? std::vector<std::string_view>{"COM"}
                        : std::vector<std::string_view>{"ttyUSB", "ttyACM", "ttyS"}) {
            if (const auto number = NumberAfter(name, prefix)) numbers.insert(*number);
        }
    }
    return numbers;
}

}  // namespace

std::optional<std::vector<PresentPort>> TermiosSerialPorts::PresentPorts() const {
    std::vector<PresentPort> present;
    for (const std::uint8_t number : NamedNumbers(locations_)) {
        const auto path = DevicePath(number);
        struct stat st {};
        if (!path || stat(path->c_str(), &st) != 0) continue;
        std::error_code error;
        const std::string node = std::filesystem::canonical(*path, error).string();
        present.push_back({number, node + " #" + std::to_string(st.st_ino)});
    }
    return present;
}

UsbIdentity TermiosSerialPorts::UsbIdentityOf(std::uint8_t number) const {
    const auto path = DevicePath(number);
    return path ? ReadUsbIdentity(*path, locations_.usb) : UsbIdentity{};
}

OpenedLine TermiosSerialPorts::Open(std::uint8_t number, const PortConfig& config) {
    std::string path;
    UniqueFd fd;
    if (Status opened = OpenChecked(*this, number, path, fd); !opened.Ok())
        return {nullptr, opened};
    const int raw = fd.Get();
    // From here the line owns the descriptor, so every failure releases it.
    auto line = std::make_unique<TermiosLine>(std::move(fd), config.timeouts);
    Status status = ApplyLineSettings(raw, config.line) ? Status::Success()
                                                        : ErrnoStatus("tcsetattr", path, errno);
    if (config.raiseModemLines && !RaiseModemLines(raw) && status.Ok()) {
        status = ErrnoStatus("TIOCMBIS", path, errno);
    }
    if (!status.Ok()) return {nullptr, status};
    return {std::move(line), status};
}

Status TermiosSerialPorts::CheckPort(std::uint8_t number) const {
    std::string path;
    UniqueFd fd;
    Status status = OpenChecked(*this, number, path, fd);
    // Closing without the line settings or modem lines touched; the exclusive
    // mode is lifted first so that the next open of the device works.
    if (fd.IsValid()) ioctl(fd.Get(), TIOCNXCL);
    return status;
}

}  // namespace vm4417
