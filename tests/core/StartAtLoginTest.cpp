// Start at login and the start sequence, the rules without any system: the
// command line, which entry decides, what the user's entry starts, what a
// switch does, the folder of a start at login, and what the folder's lock
// means for a start.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandLine.h"
#include "FakeClock.h"
#include "FakeView.h"
#include "StartAtLogin.h"
#include "StartSequence.h"

namespace vm4417 {
namespace {

using Words = std::vector<std::string>;

CommandLineRequest Parse(const Words& words, SystemOptions options = {}) {
    std::vector<const char*> argv{"vm4417"};
    for (const std::string& word : words) argv.push_back(word.c_str());
    return ParseCommandLineRequest(static_cast<int>(argv.size()), argv.data(), options);
}

TEST(CommandLineRequest, OptionsCombineWhereTheyMeanSomethingTogether) {
    const SystemOptions windows{true, true};
    struct Case {
        Words words;
        SystemOptions options;
        CommandLineAction action;
        std::optional<std::string> folder;
        bool inDocuments;
        StartAtLoginSwitch startAtLogin;
        bool atLogin = false;
    };
    using A = CommandLineAction;
    using S = StartAtLoginSwitch;
    const Case cases[] = {
        {{}, {}, A::Window, {}, false, S::Query},
        {{"--folder", "/srv/a b"}, {}, A::Window, "/srv/a b", false, S::Query},
        {{"--autostart"}, {}, A::StartAtLogin, {}, false, S::Query},
        {{"--autostart", "on"}, {}, A::StartAtLogin, {}, false, S::On},
        {{"--folder", "x", "--autostart", "off"}, {}, A::StartAtLogin, "x", false, S::Off},
        {{"--autostart", "on", "--folder", "x"}, {}, A::StartAtLogin, "x", false, S::On},
        {{"--in-documents"}, windows, A::Window, {}, true, S::Query},
        {{"--in-documents", "--autostart"}, windows, A::StartAtLogin, {}, true, S::Query},
        // Qt's own options stay the toolkit's; an --in-documents the system
        // does not know is one of them.
        {{"-platform", "xcb", "--folder", "x"}, {}, A::Window, "x", false, S::Query},
        {{"--in-documents"}, {}, A::Window, {}, false, S::Query},
        {{"--folder"}, {}, A::Misuse, {}, false, S::Query},
        {{"--folder", ""}, {}, A::Misuse, {}, false, S::Query},
        {{"--folder", "a", "--folder", "b"}, {}, A::Misuse, {}, false, S::Query},
        {{"--folder", "a", "--in-documents"}, windows, A::Misuse, {}, false, S::Query},
        {{"--autostart", "maybe"}, {}, A::Misuse, {}, false, S::Query},
        {{"--autostart", "--autostart"}, {}, A::Misuse, {}, false, S::Query},
        {{"--folder", "x", "--list-ports"}, {}, A::Misuse, {}, false, S::Query},
        {{"--help", "--folder", "x"}, {}, A::Misuse, {}, false, S::Query},
        {{"--list-ports"}, {}, A::ListPorts, {}, false, S::Query},
        {{"--version"}, {}, A::Version, {}, false, S::Query},
        {{"--install-preset", "C:\\p.ini"}, {}, A::Window, {}, false, S::Query},
        {{"--install-preset"}, windows, A::Misuse, {}, false, S::Query},
        {{"--install-preset", "a", "b"}, windows, A::Misuse, {}, false, S::Query},
        {{"--at-login"}, {}, A::Window, {}, false, S::Query, true},
        {{"--at-login", "--folder", "C:\\x y"},
         windows,
         A::Window,
         "C:\\x y",
         false,
         S::Query,
         true},
        {{"--folder", "x", "--at-login"}, {}, A::Window, "x", false, S::Query, true},
        {{"--at-login", "--at-login"}, {}, A::Misuse, {}, false, S::Query},
        {{"--at-login", "--autostart"}, {}, A::Misuse, {}, false, S::Query},
        {{"--at-login", "--in-documents"}, windows, A::Misuse, {}, false, S::Query},
        {{"--at-login", "--version"}, {}, A::Misuse, {}, false, S::Query},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& word : c.words) shown += " '" + word + "'";
        SCOPED_TRACE(shown);
        const CommandLineRequest request = Parse(c.words, c.options);
        EXPECT_EQ(request.action, c.action);
        if (c.action == A::Misuse) continue;
        EXPECT_EQ(request.folder, c.folder);
        EXPECT_EQ(request.inDocuments, c.inDocuments);
        EXPECT_EQ(request.startAtLogin, c.startAtLogin);
        EXPECT_EQ(request.atLogin, c.atLogin);
    }
    const CommandLineRequest preset = Parse({"--install-preset", "C:\\p.ini"}, windows);
    EXPECT_EQ(preset.action, A::InstallPreset);
    EXPECT_EQ(preset.presetSource, "C:\\p.ini");
}

StartAtLoginEntry Entry(bool enabled, Words command = {"/usr/bin/vm4417", "--folder", "/u/VM4417"},
                        bool programFound = true) {
    return {true, enabled, programFound, command, {}};
}

TEST(StartAtLoginRules, TheDecidingEntryAndWhatEachSwitchDoes) {
    using K = MachineEntryKind;
    using Src = StartAtLoginSource;
    using Step = StartAtLoginStep;
    const StartAtLoginEntry none;
    const StartAtLoginEntry machine = Entry(true, {"vm4417-launcher"});
    const StartAtLoginEntry machineOff = Entry(false, {"vm4417-launcher"});
    const StartAtLoginEntry hklm = Entry(true, {"C:\\P\\vm4417.exe", "--in-documents"});
    struct Case {
        const char* what;
        K kind;
        StartAtLoginEntry user;
        StartAtLoginEntry machine;
        bool on;
        Src source;
        bool itemEnabled;
        Step switchOn;
        Step switchOff;
    };
    const Case cases[] = {
        {"nothing", K::OverriddenByUser, none, none, false, Src::None, true, Step::WriteEntry,
         Step::Nothing},
        {"the user's entry", K::OverriddenByUser, Entry(true), none, true, Src::User, true,
         Step::WriteEntry, Step::RemoveEntry},
        {"the user's entry, its program gone", K::OverriddenByUser,
         Entry(true, {"/old/vm4417"}, false), none, false, Src::User, true, Step::WriteEntry,
         Step::RemoveEntry},
        {"the user's hidden entry", K::OverriddenByUser, Entry(false), none, false, Src::User, true,
         Step::WriteEntry, Step::RemoveEntry},
        {"the machine's entry", K::OverriddenByUser, none, machine, true, Src::Machine, true,
         Step::Nothing, Step::WriteHiddenEntry},
        {"the machine's, hidden by the user's", K::OverriddenByUser, Entry(false), machine, false,
         Src::User, true, Step::WriteEntry, Step::Nothing},
        {"the machine's, replaced by the user's", K::OverriddenByUser, Entry(true), machine, true,
         Src::User, true, Step::WriteEntry, Step::WriteHiddenEntry},
        {"the machine's, disabled there", K::OverriddenByUser, none, machineOff, false,
         Src::Machine, true, Step::WriteEntry, Step::Nothing},
        {"HKCU Run", K::RunsBeside, Entry(true), none, true, Src::User, true, Step::WriteEntry,
         Step::RemoveEntry},
        {"HKCU Run disabled in Task Manager", K::RunsBeside, Entry(false), none, false, Src::User,
         true, Step::WriteEntry, Step::RemoveEntry},
        {"HKLM Run", K::RunsBeside, none, hklm, true, Src::Machine, false, Step::Nothing,
         Step::Refuse},
        {"HKLM Run beside HKCU Run", K::RunsBeside, Entry(true), hklm, true, Src::Machine, false,
         Step::Nothing, Step::Refuse},
        {"HKLM Run disabled, HKCU Run on", K::RunsBeside, Entry(true), Entry(false), true,
         Src::User, true, Step::WriteEntry, Step::RemoveEntry},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const StartAtLoginState state = DecideStartAtLogin(c.user, c.machine, c.kind);
        EXPECT_EQ(state.on, c.on);
        EXPECT_EQ(state.source, c.source);
        const StartAtLoginMenuItem item = MenuItemFor(state);
        EXPECT_EQ(item.checked, c.on);
        EXPECT_EQ(item.enabled, c.itemEnabled);
        EXPECT_EQ(StepToSwitch(state, true, c.kind), c.switchOn);
        EXPECT_EQ(StepToSwitch(state, false, c.kind), c.switchOff);
    }
}

TEST(StartAtLoginRules, TheStateLineNamesTheFolderAndWhoSwitchedItOn) {
    const StartAtLoginEntry none;
    const StartAtLoginEntry hklm{true, true, true, {"C:\\P\\vm4417.exe", "--in-documents"}, {}};
    const StartAtLoginEntry disabled{
        true, false, true, {"C:\\P\\vm4417.exe", "--folder", "D:\\x"}, {}};
    const auto line = [](const StartAtLoginEntry& user, const StartAtLoginEntry& machine) {
        return StartAtLoginStateLine(
            DecideStartAtLogin(user, machine, MachineEntryKind::RunsBeside));
    };
    EXPECT_EQ(line(Entry(true), none),
              "Spouštění po přihlášení je zapnuté, pracovní složka /u/VM4417.");
    EXPECT_EQ(line(none, hklm),
              "Spouštění po přihlášení je zapnuté pro všechny uživatele počítače (zapnul je "
              "správce), pracovní složka Dokumenty\\VM4417 každého uživatele.");
    EXPECT_EQ(line(disabled, none),
              "Spouštění po přihlášení je vypnuté ve Správci úloh (zapnete je zde nebo tam).");
    EXPECT_EQ(line(none, none), "Spouštění po přihlášení je vypnuté.");
    const StartAtLoginEntry besideCommand{
        true, true, true, {"/usr/bin/vm4417", "--at-login"}, "/home/op/Práce \"A\" $HOME"};
    EXPECT_EQ(line(besideCommand, none),
              "Spouštění po přihlášení je zapnuté, pracovní složka /home/op/Práce \"A\" $HOME.");
    EXPECT_EQ(MenuItemFor(DecideStartAtLogin(none, hklm, MachineEntryKind::RunsBeside)).text,
              "Spouštět po přihlášení (zapnul správce pro všechny)");
}

// Entries whose writing fails, as a read-only folder or registry key makes it.
class UnwritableEntries final : public StartAtLoginEntries {
public:
    MachineEntryKind Kind() const override { return MachineEntryKind::OverriddenByUser; }
    Status Read(StartAtLoginEntry& user, StartAtLoginEntry& machine) override {
        user = {};
        machine = {};
        return Status::Success();
    }
    Status Apply(StartAtLoginStep, const std::string&) override {
        return Status::Failure(Fault::NoPermission, "open x: Permission denied");
    }
};

TEST(StartAtLoginSwitch, AFailureIsToldWhereTheOperatorLooks) {
    UnwritableEntries entries;
    const CommandLineOutcome off = RunStartAtLoginOption(entries, StartAtLoginSwitch::Off, "/w");
    EXPECT_EQ(off.exitStatus, 0);
    EXPECT_EQ(off.out, "Spouštění po přihlášení je vypnuté.\n");
    const CommandLineOutcome on = RunStartAtLoginOption(entries, StartAtLoginSwitch::On, "/w");
    EXPECT_EQ(on.exitStatus, 1);
    EXPECT_EQ(on.out, "");
    EXPECT_EQ(on.err, "Spouštění po přihlášení nelze změnit: open x: Permission denied\n");
    test::FakeView view;
    SwitchFromMenu(entries, true, "/w", view);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text,
              "Spouštění po přihlášení nelze změnit: open x: Permission denied");
    EXPECT_TRUE(view.statusTexts.empty());
}

TEST(LoginFolder, AMissingFolderIsWaitedForAndNeverMade) {
    using namespace std::chrono_literals;
    struct Case {
        const char* what;
        std::chrono::milliseconds appearsAfter;  // the folder is there from then on
        Fault otherwise;                         // until then, each try fails so
        bool entered;
        std::chrono::milliseconds waited;
    };
    const Case cases[] = {
        {"there", 0ms, Fault::Missing, true, 0ms},
        {"a network folder mounted late", 3200ms, Fault::Missing, true, 3500ms},
        {"renamed", 3600s, Fault::Missing, false, 15000ms},
        {"not allowed: no waiting", 3600s, Fault::NoPermission, false, 0ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::FakeClock clock;
        const auto start = clock.Now();
        const Status entered = EnterLoginFolder(
            [&] {
                return clock.Now() - start >= c.appearsAfter ? Status::Success()
                                                             : Status::Failure(c.otherwise, "x");
            },
            clock);
        EXPECT_EQ(entered.Ok(), c.entered);
        EXPECT_EQ(clock.Now() - start, c.waited);
    }
    EXPECT_EQ(LoginFolderFailureLine("/home/op/Práce", Status::Failure(Fault::Missing, "x")),
              "Pracovní složka /home/op/Práce není k dispozici ani po 15 s čekání: byla "
              "přejmenována, smazána, nebo jde o síťovou složku, která ještě není připojená. "
              "Program se po přihlášení nespustil, aby nezačal znovu v prázdné složce. Spusťte "
              "jej, až bude složka dostupná, nebo zapněte spouštění po přihlášení znovu v "
              "pracovní složce, kterou teď používáte.");
}

TEST(StartDecision, TheFoldersLockDecidesHowAStartGoesOn) {
    EXPECT_EQ(DecideStart(FolderLockOutcome::Taken, "/w", "").way, StartWay::GoOn);
    EXPECT_EQ(DecideStart(FolderLockOutcome::HeldByAnother, "/w", "").way, StartWay::HandOver);
    const StartDecision unlocked =
        DecideStart(FolderLockOutcome::Unavailable, "/w", "flock /w: No locks available");
    EXPECT_EQ(unlocked.way, StartWay::GoOnWarned);
    EXPECT_EQ(unlocked.warning,
              "Pracovní složku nelze zamknout: /w (flock /w: No locks available); program běží, "
              "ale nepozná, spustí-li se v téže složce podruhé.");
}

}  // namespace
}  // namespace vm4417
