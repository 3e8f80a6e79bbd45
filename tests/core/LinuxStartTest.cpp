// The Linux pieces of a start: the XDG autostart entries on a real file
// system (the user's over the machine's, TryExec, a folder that cannot be
// made) and the working folder's lock.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TempDir.h"
#include "posix/FolderLock.h"
#include "posix/XdgAutostart.h"

namespace vm4417 {
namespace {

using test::Exists;
using test::ReadFileText;
using test::TempDir;
using test::WriteFileBytes;

void WriteText(const std::string& path, const std::string& text) {
    WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

class XdgAutostartFiles : public ::testing::Test {
protected:
    TempDir dir;
    std::string program = dir / "bin/vm4417";
    XdgAutostartPlaces places{dir / "config/autostart", {dir / "xdg/autostart"}, dir / "bin"};
    XdgAutostart entries{places, program};
    std::string userEntry = dir / "config/autostart/cz.velm.vm4417.desktop";
    std::string machineEntry = dir / "xdg/autostart/cz.velm.vm4417.desktop";

    void SetUp() override {
        std::filesystem::create_directories(dir / "bin");
        std::filesystem::create_directories(dir / "xdg/autostart");
        WriteText(program, "#!/bin/sh\n");
        chmod(program.c_str(), 0755);
        WriteText(dir / "bin/vm4417-launcher", "#!/bin/sh\n");
        chmod((dir / "bin/vm4417-launcher").c_str(), 0755);
    }
    AutostartState State() {
        const AutostartResult result = ReadAutostart(entries);
        EXPECT_TRUE(result.status.Ok()) << result.status.detail;
        return result.state;
    }
};

TEST_F(XdgAutostartFiles, AMachineEntryIsHiddenByTheUsersAndShownAgain) {
    WriteText(machineEntry,
              "[Desktop Entry]\nType=Application\nName=VM4417\nExec=vm4417-launcher\n"
              "TryExec=vm4417-launcher\n");
    EXPECT_TRUE(State().on);
    EXPECT_EQ(State().source, AutostartSource::Machine);

    ASSERT_TRUE(SwitchAutostart(entries, false, "/srv/a").status.Ok());
    EXPECT_FALSE(State().on);
    EXPECT_NE(ReadFileText(userEntry).find("\nHidden=true\n"), std::string::npos);
    EXPECT_NE(ReadFileText(machineEntry).find("Exec=vm4417-launcher"), std::string::npos)
        << "the machine's entry is the administrator's";

    ASSERT_TRUE(SwitchAutostart(entries, true, "/srv/a b").status.Ok());
    const AutostartState on = State();
    EXPECT_TRUE(on.on);
    EXPECT_EQ(on.source, AutostartSource::User);
    EXPECT_EQ(on.folder, "/srv/a b");
    EXPECT_EQ(ReadFileText(userEntry).find("Hidden"), std::string::npos);
}

TEST_F(XdgAutostartFiles, AnEntryWhoseProgramIsGoneIsOff) {
    ASSERT_TRUE(SwitchAutostart(entries, true, "/srv/a").status.Ok());
    EXPECT_TRUE(State().on);
    std::filesystem::remove(program);
    EXPECT_FALSE(State().on) << "the desktop skips it (TryExec)";
    ASSERT_TRUE(SwitchAutostart(entries, false, "/srv/a").status.Ok());
    EXPECT_FALSE(Exists(userEntry)) << "switching off removes it";
}

TEST_F(XdgAutostartFiles, AnAutostartFolderThatCannotBeWrittenIsTold) {
    std::filesystem::create_directories(dir / "config/autostart");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod((dir / "config/autostart").c_str(), 0555), 0);
    EXPECT_TRUE(test::RunAsOrdinaryUser([&] {
        const AutostartResult result = SwitchAutostart(entries, true, "/srv/a");
        return !result.status.Ok() &&
               AutostartResultLine(result).rfind("Spouštění po přihlášení nelze změnit: ", 0) == 0;
    }));
    EXPECT_FALSE(Exists(userEntry));
}

TEST(FolderLockHolder, OneHolderPerFolderUntilItGoes) {
    TempDir dir;
    auto first = std::make_unique<FolderLockHolder>();
    ASSERT_EQ(first->Take(dir.path()), FolderLock::Taken);
    FolderLockHolder second;
    EXPECT_EQ(second.Take(dir.path()), FolderLock::HeldByAnother);
    TempDir other;
    FolderLockHolder elsewhere;
    EXPECT_EQ(elsewhere.Take(other.path()), FolderLock::Taken);
    first.reset();
    FolderLockHolder third;
    EXPECT_EQ(third.Take(dir.path()), FolderLock::Taken);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "nothing left in the folder";
}

TEST(FolderLockHolder, AFolderThatCannotBeOpenedIsUnavailable) {
    TempDir dir;
    // Writable and enterable, not readable: the program can keep its files
    // there but cannot lock the folder.
    ASSERT_EQ(chmod(dir.path().c_str(), 0333), 0);
    EXPECT_TRUE(test::RunAsOrdinaryUser([&] {
        FolderLockHolder lock;
        return lock.Take(dir.path()) == FolderLock::Unavailable &&
               lock.Detail().find("Permission denied") != std::string::npos;
    }));
    chmod(dir.path().c_str(), 0755);
}

}  // namespace
}  // namespace vm4417
