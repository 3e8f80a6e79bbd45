// Finding sway's IPC socket when $SWAYSOCK was not passed on: among the
// sockets of the runtime folder, the one with sway's name for this user
// that belongs to the user and takes a connection.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "TempDir.h"
#include "wayland/SwayFocus.h"

namespace vm4417 {
namespace {

// A Unix socket at `path`; listening, or left behind as a process that
// ended leaves it.
int MakeSocket(const std::string& path, bool listening) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
    if (listening) {
        EXPECT_EQ(listen(fd, 1), 0);
        return fd;
    }
    close(fd);
    return -1;
}

TEST(SwaySocket, TheUsersLiveSocketIsFoundAndNothingElse) {
    test::TempDir runtime;
    const unsigned int uid = getuid();
    const std::string mine = runtime / ("sway-ipc." + std::to_string(uid) + ".222.sock");
    MakeSocket(runtime / ("sway-ipc." + std::to_string(uid) + ".111.sock"), false);
    test::WriteFileBytes(runtime / ("sway-ipc." + std::to_string(uid) + ".100.sock"), {1});
    const int other =
        MakeSocket(runtime / ("sway-ipc." + std::to_string(uid + 1) + ".1.sock"), true);
    EXPECT_EQ(FindSwaySocket(runtime.path(), uid), "") << "a stale socket, a file, another's";

    const int live = MakeSocket(mine, true);
    EXPECT_EQ(FindSwaySocket(runtime.path(), uid), mine);
    EXPECT_FALSE(IsSwaySocketName("sway-ipc." + std::to_string(uid) + ".12x.sock", uid));
    close(live);
    close(other);
}

}  // namespace
}  // namespace vm4417
