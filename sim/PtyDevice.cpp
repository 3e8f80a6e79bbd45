#include "PtyDevice.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace readersim {
namespace {

using vm4417::posix::ErrnoText;

namespace fs = std::filesystem;

Result Failure(const std::string& step, int error) { return {step + ": " + ErrnoText(error)}; }

// Bytes written before the client configures the line must reach it
// unchanged: no echo, no CR/NL translation, no line editing.
Result MakeRaw(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) return Failure("tcgetattr", errno);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) return Failure("tcsetattr", errno);
    return {};
}

// Points `link` at `target` in one step (via rename), so a client never sees
// the link missing while an older one is replaced.
Result ReplaceLink(const fs::path& link, const std::string& target) {
    std::error_code ec;
    fs::create_directories(link.parent_path(), ec);
    if (ec) return {"cannot create " + link.parent_path().string() + ": " + ec.message()};
    const fs::file_status existing = fs::symlink_status(link, ec);
    if (fs::exists(existing) && !fs::is_symlink(existing))
        return {link.string() + " exists and is not a symbolic link"};
    const fs::path temporary = link.string() + ".new";
    fs::remove(temporary, ec);
    fs::create_symlink(target, temporary, ec);
    if (!ec) fs::rename(temporary, link, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return {"cannot link " + link.string() + " to " + target + ": " + ec.message()};
    }
    return {};
}

}  // namespace

Result PtyDevice::Open(const fs::path& link) {
    Close();
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master.IsValid()) return Failure("posix_openpt", errno);
    if (::grantpt(master.Get()) != 0) return Failure("grantpt", errno);
    if (::unlockpt(master.Get()) != 0) return Failure("unlockpt", errno);
    char name[128];
    if (const int error = ::ptsname_r(master.Get(), name, sizeof name); error != 0)
        return Failure("ptsname_r", error);
    UniqueFd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave.IsValid()) return Failure(std::string("open ") + name, errno);
    if (Result raw = MakeRaw(slave.Get()); !raw.ok()) return raw;
    if (Result linked = ReplaceLink(link, name); !linked.ok()) return linked;

    master_ = std::move(master);
    slaveHolder_ = std::move(slave);
    slavePath_ = name;
    link_ = link;
    return {};
}

void PtyDevice::Close() {
    if (!IsOpen()) return;
    master_.Reset();
    slaveHolder_.Reset();
    std::error_code ec;
    if (fs::read_symlink(link_, ec) == slavePath_ && !ec) fs::remove(link_, ec);
    slavePath_.clear();
    link_.clear();
}

}  // namespace readersim
