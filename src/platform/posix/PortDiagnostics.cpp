#include "PortDiagnostics.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <limits>
#include <optional>

namespace vm4417 {

namespace {

// A candidate name that exists only as a link whose target does not.
std::optional<std::string> DanglingLink(const TermiosSerialPorts& ports, std::uint8_t number) {
    for (const std::string& path : ports.CandidatePaths(number)) {
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return path;
    }
    return std::nullopt;
}

std::string LinkTarget(const std::string& path) {
    std::array<char, 4096> target{};
    const ssize_t length = readlink(path.c_str(), target.data(), target.size() - 1);
    return length > 0 ? std::string(target.data(), static_cast<std::size_t>(length)) : "?";
}

}  // namespace

std::vector<PortReport> DiagnosePorts(const TermiosSerialPorts& ports) {
    std::vector<PortReport> reports;
    for (int n = 0; n <= std::numeric_limits<std::uint8_t>::max(); ++n) {
        const auto number = static_cast<std::uint8_t>(n);
        if (const auto device = ports.DevicePath(number)) {
            reports.push_back(
                {number, *device, ports.CheckPort(number), ports.UsbIdentityOf(number)});
        } else if (const auto link = DanglingLink(ports, number)) {
            reports.push_back(
                {number, *link,
                 Status::Failure(Fault::Missing, *link + ": a link to " + LinkTarget(*link) +
                                                     ", which does not exist")});
        }
    }
    return reports;
}

}  // namespace vm4417
