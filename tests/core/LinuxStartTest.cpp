// The Linux pieces of a start: the desktop entry's text read back as a
// desktop reads it, the XDG autostart entries on a real file system (the
// user's over the machine's, TryExec, a folder that cannot be made, a
// program path that not every launcher carries) and the working folder's
// lock.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "TempDir.h"
#include "posix/DesktopEntry.h"
#include "posix/FolderLock.h"
#include "posix/StartAtLoginFiles.h"
#include "posix/WorkingFolder.h"

namespace vm4417 {
namespace {

using test::Exists;
using test::ReadFileText;
using test::TempDir;
using test::WriteFileBytes;

using Words = std::vector<std::string>;

void WriteText(const std::string& path, const std::string& text) {
    WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// Paths that need every escape an entry has.
const char* const kFolders[] = {
    "/home/op/Dokumenty/VM4417",
    "/home/op/My Documents/VM 4417",
    "/srv/\"quoted\"",
    "/srv/$HOME and `date`",
    "/srv/back\\slash\\",
    "/srv/100% %f %%",
    "/srv/čtečka čipů",
    " /srv/spaces at both ends ",
    "/home/op/Práce \"A\" $HOME 100% \\ x",
};

TEST(DesktopEntry, TheEntryGivesBackItsCommandAndFolder) {
    for (const char* folder : kFolders) {
        SCOPED_TRACE(folder);
        const Words exec{folder, "--at-login", "%f"};
        const auto text = DesktopEntryText({exec, folder, false});
        ASSERT_TRUE(text);
        const DesktopEntryReading reading = ReadDesktopEntry(*text);
        EXPECT_EQ(reading.exec, exec);
        EXPECT_EQ(reading.folder, folder);
        EXPECT_EQ(reading.tryExec, folder);
        EXPECT_FALSE(reading.hidden);
    }
}

TEST(DesktopEntry, APathWithALineBreakMakesNoEntry) {
    EXPECT_FALSE(DesktopEntryText({{"/usr/bin/vm4417"}, "/srv/a\nExec=rm -rf ~", false}));
    EXPECT_FALSE(DesktopEntryText({{"/usr/bin/vm4417\t"}, "/srv/a", false}));
}

TEST(DesktopEntry, HiddenAndDisabledEntriesAreOff) {
    struct Case {
        const char* text;
        bool hidden;
    };
    const Case cases[] = {
        {"[Desktop Entry]\nExec=vm4417-launcher\n", false},
        {"[Desktop Entry]\nExec=vm4417-launcher\nHidden=true\n", true},
        {"[Desktop Entry]\r\nHidden = true\r\n", true},
        {"[Desktop Entry]\nHidden=false\n", false},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", true},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=true\n", false},
        {"# Hidden=true\n[Desktop Entry]\nExec=x\n[Desktop Action off]\nHidden=true\n", false},
        {"[Other]\nHidden=true\n[Desktop Entry]\nExec=x\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReadDesktopEntry(c.text).hidden, c.hidden);
    }
    EXPECT_TRUE(ReadDesktopEntry(*DesktopEntryText({{"/usr/bin/vm4417"}, "", true})).hidden);
}

class StartAtLoginEntryFiles : public ::testing::Test {
protected:
    TempDir dir;
    std::string program = dir / "bin/vm4417";
    StartAtLoginPlaces places{dir / "config/autostart", {dir / "xdg/autostart"}, dir / "bin"};
    StartAtLoginFiles entries{places, program};
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
    StartAtLoginState State() {
        const StartAtLoginResult result = ReadStartAtLogin(entries);
        EXPECT_TRUE(result.status.Ok()) << result.status.detail;
        return result.state;
    }
};

TEST_F(StartAtLoginEntryFiles, AMachineEntryIsHiddenByTheUsersAndShownAgain) {
    WriteText(machineEntry,
              "[Desktop Entry]\nType=Application\nName=VM4417\nExec=vm4417-launcher\n"
              "TryExec=vm4417-launcher\n");
    EXPECT_TRUE(State().on);
    EXPECT_EQ(State().source, StartAtLoginSource::Machine);

    ASSERT_TRUE(SwitchStartAtLogin(entries, false, "/srv/a").status.Ok());
    EXPECT_FALSE(State().on);
    EXPECT_NE(ReadFileText(userEntry).find("\nHidden=true\n"), std::string::npos);
    EXPECT_NE(ReadFileText(machineEntry).find("Exec=vm4417-launcher"), std::string::npos)
        << "the machine's entry is the administrator's";

    ASSERT_TRUE(SwitchStartAtLogin(entries, true, "/srv/a b").status.Ok());
    const StartAtLoginState on = State();
    EXPECT_TRUE(on.on);
    EXPECT_EQ(on.source, StartAtLoginSource::User);
    EXPECT_EQ(on.folder, "/srv/a b");
    EXPECT_EQ(ReadFileText(userEntry).find("Hidden"), std::string::npos);
}

TEST_F(StartAtLoginEntryFiles, TheEntryStartsTheProgramAtLoginAndKeepsTheFolderBeside) {
    const std::string folder = "/home/op/Práce \"A\" $HOME 100% \\ x";
    ASSERT_TRUE(SwitchStartAtLogin(entries, true, folder).status.Ok());
    const DesktopEntryReading reading = ReadDesktopEntry(ReadFileText(userEntry));
    EXPECT_EQ(reading.exec, (Words{program, "--at-login"}));
    EXPECT_EQ(reading.folder, folder);
    EXPECT_EQ(State().folder, folder);
}

TEST_F(StartAtLoginEntryFiles, AProgramPathThatNotEveryLauncherCarriesIsRefused) {
    for (const std::string name : {"bin$HOME", "bin`x`", "bin\\x"}) {
        SCOPED_TRACE(name);
        StartAtLoginFiles odd{places, dir / (name + "/vm4417")};
        const StartAtLoginResult result = SwitchStartAtLogin(odd, true, "/srv/a");
        EXPECT_EQ(StartAtLoginResultLine(result),
                  "Spouštění po přihlášení nelze změnit: cesta k programu obsahuje znak „" +
                      name.substr(3, 1) +
                      "“, který plochy při spuštění po přihlášení nepřenesou beze změny: " +
                      (dir / (name + "/vm4417")));
        EXPECT_FALSE(Exists(userEntry));
    }
}

TEST_F(StartAtLoginEntryFiles, AnEntryWhoseProgramIsGoneIsOff) {
    ASSERT_TRUE(SwitchStartAtLogin(entries, true, "/srv/a").status.Ok());
    EXPECT_TRUE(State().on);
    std::filesystem::remove(program);
    EXPECT_FALSE(State().on) << "the desktop skips it (TryExec)";
    ASSERT_TRUE(SwitchStartAtLogin(entries, false, "/srv/a").status.Ok());
    EXPECT_FALSE(Exists(userEntry)) << "switching off removes it";
}

TEST_F(StartAtLoginEntryFiles, AnEntryFolderThatCannotBeWrittenIsTold) {
    std::filesystem::create_directories(dir / "config/autostart");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod((dir / "config/autostart").c_str(), 0555), 0);
    EXPECT_TRUE(test::RunAsOrdinaryUser([&] {
        const StartAtLoginResult result = SwitchStartAtLogin(entries, true, "/srv/a");
        return !result.status.Ok() && StartAtLoginResultLine(result).rfind(
                                          "Spouštění po přihlášení nelze změnit: ", 0) == 0;
    }));
    EXPECT_FALSE(Exists(userEntry));
}

TEST(WorkingFolder, AStartAtLoginEntersOnlyAFolderThatIsThere) {
    TempDir dir;
    const std::string before = CurrentFolder().value_or("");
    const Status missing = EnterExistingFolder(dir / "renamed/VM4417");
    EXPECT_EQ(missing.fault, Fault::Missing) << missing.detail;
    EXPECT_FALSE(Exists(dir / "renamed")) << "nothing is made";
    WriteText(dir / "file", "");
    EXPECT_EQ(EnterExistingFolder(dir / "file").fault, Fault::WrongKind);
    EXPECT_EQ(CurrentFolder(), before);
    ASSERT_TRUE(EnterExistingFolder(dir.path()).Ok());
    EXPECT_EQ(CurrentFolder(), dir.path());
    ASSERT_EQ(chdir(before.c_str()), 0);
}

WorkingFolder At(const std::string& path) { return {path, FolderKey(path)}; }

TEST(FolderLock, OneHolderPerFolderUntilItGoes) {
    TempDir dir;
    auto first = std::make_unique<FolderLock>();
    ASSERT_EQ(first->Take(At(dir.path())), FolderLockOutcome::Taken);
    FolderLock second;
    EXPECT_EQ(second.Take(At(dir.path())), FolderLockOutcome::HeldByAnother);
    TempDir other;
    FolderLock elsewhere;
    EXPECT_EQ(elsewhere.Take(At(other.path())), FolderLockOutcome::Taken);
    first.reset();
    FolderLock third;
    EXPECT_EQ(third.Take(At(dir.path())), FolderLockOutcome::Taken);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "nothing left in the folder";
}

TEST(FolderLock, AFolderThatCannotBeOpenedIsUnavailable) {
    TempDir dir;
    // Writable and enterable, not readable: the program can keep its files
    // there but cannot lock the folder.
    ASSERT_EQ(chmod(dir.path().c_str(), 0333), 0);
    EXPECT_TRUE(test::RunAsOrdinaryUser([&] {
        FolderLock lock;
        return lock.Take(At(dir.path())) == FolderLockOutcome::Unavailable &&
               lock.Detail().find("Permission denied") != std::string::npos;
    }));
    chmod(dir.path().c_str(), 0755);
}

}  // namespace
}  // namespace vm4417
