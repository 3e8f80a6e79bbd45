// The port list: every kind of port the operator may meet, made from the
// simulator's pseudo-terminals and files of the test's own. Real serial
// devices are never touched.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "Drv232.h"
#include "ReaderSimulator.h"
#include "TempDir.h"
#include "posix/PortDiagnostics.h"
#include "posix/TermiosSerial.h"

extern char** environ;

namespace vm4417 {
namespace {

namespace fs = std::filesystem;

readersim::Options PortOptions(const std::string& dir, int port) {
    readersim::Options options;
    options.linkDir = dir;
    options.port = port;
    options.seed = 1;
    return options;
}

struct Expected {
    std::uint8_t number;
    Fault fault;
};

TEST(PortDiagnostics, EachKindOfPortIsReportedWithItsReason) {
    test::TempDir dir;
    const std::string ports = dir / "ports";
    fs::create_directory(ports);
    readersim::ReaderSimulator usable(PortOptions(ports, 1));
    readersim::ReaderSimulator held(PortOptions(ports, 2));
    readersim::ReaderSimulator console(PortOptions(ports, 5));
    for (auto* sim : {&usable, &held, &console}) ASSERT_TRUE(sim->Open().ok());
    fs::create_symlink(dir / "unplugged", ports + "/COM3");
    test::WriteFileBytes(ports + "/COM4", {});
    fs::create_symlink("/dev/null", ports + "/COM6");  // a device, but no terminal
    const std::string consoles = dir / "active";
    std::ofstream(consoles) << "tty0 " << console.DevicePath().substr(5) << "\n";

    TermiosSerialPorts termios(SerialLocations{ports, consoles, "/dev"});
    const OpenedLine holder = termios.Open(2, ReaderPortConfig());
    ASSERT_NE(holder.line, nullptr);

    const std::vector<Expected> expected = {
        {1, Fault::None},      {2, Fault::InUse},   {3, Fault::Missing},
        {4, Fault::WrongKind}, {5, Fault::Console}, {6, Fault::WrongKind},
    };
    const auto reports = DiagnosePorts(termios);
    ASSERT_EQ(reports.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("COM" + std::to_string(expected[i].number));
        EXPECT_EQ(reports[i].number, expected[i].number);
        EXPECT_EQ(reports[i].path, ports + "/COM" + std::to_string(expected[i].number));
        EXPECT_EQ(reports[i].status.fault, expected[i].fault) << reports[i].status.detail;
    }
    // Checking a port leaves it as it was: free for the next program.
    EXPECT_NE(termios.Open(1, ReaderPortConfig()).line, nullptr);
}

// The child's standard output.
std::string RunAndRead(const std::vector<std::string>& args, const std::string& portDir) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> env = {"VM4417_PORT_DIR=" + portDir, "LANG=C.UTF-8"};
    std::vector<char*> argv, envp;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string output;
    char buffer[4096];
    ssize_t n = 0;
    while (spawned == 0 && (n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, n);
    close(pipeFds[0]);
    if (spawned == 0) waitpid(pid, nullptr, 0);
    return output;
}

// Tests run as root, who may open anything; the program's port list runs
// as an ordinary user instead, who may not open a terminal of root's.
TEST(PortDiagnostics, AUserWithoutPermissionIsToldTheFix) {
    const char* setpriv = "/usr/bin/setpriv";
    if (geteuid() != 0 || access(setpriv, X_OK) != 0) GTEST_SKIP() << "needs root and setpriv";
    test::TempDir dir;
    chmod(dir.path().c_str(), 0755);
    readersim::ReaderSimulator sim(PortOptions(dir.path(), 7));
    ASSERT_TRUE(sim.Open().ok());

    const std::string output = RunAndRead({setpriv, "--reuid=65534", "--regid=65534",
                                           "--clear-groups", VM4417_PROGRAM, "--list-ports"},
                                          dir.path());
    EXPECT_NE(output.find("COM7"), std::string::npos) << output;
    EXPECT_NE(output.find("Permission denied"), std::string::npos) << output;
    EXPECT_NE(output.find("sudo usermod -aG dialout $USER"), std::string::npos) << output;
}

}  // namespace
}  // namespace vm4417
