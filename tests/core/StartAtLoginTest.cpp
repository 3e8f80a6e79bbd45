// Start at login and the working folder, the rules without any system: the
// command line, the entries' text read back as a desktop or Windows reads
// it, which entry decides, and what a switch does.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Autostart.h"
#include "CommandLine.h"

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
        AutostartSwitch autostart;
    };
    using A = CommandLineAction;
    using S = AutostartSwitch;
    const Case cases[] = {
        {{}, {}, A::Window, {}, false, S::Query},
        {{"--folder", "/srv/a b"}, {}, A::Window, "/srv/a b", false, S::Query},
        {{"--autostart"}, {}, A::Autostart, {}, false, S::Query},
        {{"--autostart", "on"}, {}, A::Autostart, {}, false, S::On},
        {{"--folder", "x", "--autostart", "off"}, {}, A::Autostart, "x", false, S::Off},
        {{"--autostart", "on", "--folder", "x"}, {}, A::Autostart, "x", false, S::On},
        {{"--in-documents"}, windows, A::Window, {}, true, S::Query},
        {{"--in-documents", "--autostart"}, windows, A::Autostart, {}, true, S::Query},
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
        EXPECT_EQ(request.autostart, c.autostart);
    }
    const CommandLineRequest preset = Parse({"--install-preset", "C:\\p.ini"}, windows);
    EXPECT_EQ(preset.action, A::InstallPreset);
    EXPECT_EQ(preset.presetSource, "C:\\p.ini");
}

// Paths that need every escape the entries have.
const char* const kFolders[] = {
    "/home/op/Dokumenty/VM4417",
    "/home/op/My Documents/VM 4417",
    "/srv/\"quoted\"",
    "/srv/$HOME and `date`",
    "/srv/back\\slash\\",
    "/srv/100% %f %%",
    "/srv/čtečka čipů",
    "C:\\",
    "C:\\Users\\op\\Documents\\VM4417",
    "\\\\server\\share\\VM4417\\\\",
};

TEST(DesktopEntry, TheExecLineGivesBackTheProgramAndTheFolder) {
    for (const char* folder : kFolders) {
        SCOPED_TRACE(folder);
        const std::string program = "/opt/vm 4417/bin/vm4417";
        const auto text = DesktopEntryText(program, folder, false);
        ASSERT_TRUE(text);
        const DesktopEntryReading reading = ReadDesktopEntry(*text);
        EXPECT_EQ(reading.exec, (Words{program, "--folder", folder}));
        EXPECT_EQ(reading.tryExec, program);
        EXPECT_FALSE(reading.hidden);
    }
}

TEST(DesktopEntry, APathWithALineBreakMakesNoEntry) {
    EXPECT_FALSE(DesktopEntryText("/usr/bin/vm4417", "/srv/a\nExec=rm -rf ~", false));
    EXPECT_FALSE(DesktopEntryText("/usr/bin/vm4417\t", "/srv/a", false));
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
    EXPECT_TRUE(ReadDesktopEntry(*DesktopEntryText("/usr/bin/vm4417", "/srv", true)).hidden);
}

TEST(RunValue, WindowsSplitsTheCommandBackIntoTheProgramAndTheFolder) {
    for (const char* folder : kFolders) {
        SCOPED_TRACE(folder);
        const std::string program = "C:\\Program Files\\VM4417\\vm4417.exe";
        EXPECT_EQ(SplitWindowsCommand(RunCommand(program, folder)),
                  (Words{program, "--folder", folder}));
    }
    EXPECT_EQ(SplitWindowsCommand("\"C:\\Program Files\\VM4417\\vm4417.exe\" --in-documents"),
              (Words{"C:\\Program Files\\VM4417\\vm4417.exe", "--in-documents"}));
    EXPECT_EQ(SplitWindowsCommand("C:\\vm4417.exe a\\\\\\\"b \"c d\"e"),
              (Words{"C:\\vm4417.exe", "a\\\"b", "c de"}));
}

TEST(RunValue, TaskManagersApprovalStopsTheEntryWhenItsFirstByteIsOdd) {
    using Bytes = std::vector<std::uint8_t>;
    const std::pair<Bytes, bool> cases[] = {
        {{}, true},
        {EnabledApproval(), true},
        {{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true},
        {{3, 0, 0, 0, 0x10, 0x5c, 0x2f, 0x8e, 0x3a, 0x6b, 0xda, 0x01}, false},
        {{6, 0, 0, 0}, true},
        {{7, 0, 0, 0}, false},
        {{1}, false},
    };
    for (const auto& [bytes, approved] : cases) {
        EXPECT_EQ(ApprovedToRun(bytes), approved)
            << "first byte " << (bytes.empty() ? -1 : bytes[0]);
    }
}

AutostartEntry Entry(bool enabled, Words command = {"/usr/bin/vm4417", "--folder", "/u/VM4417"},
                     bool programFound = true) {
    return {true, enabled, programFound, command};
}

TEST(AutostartRules, TheDecidingEntryAndWhatEachSwitchDoes) {
    using K = MachineEntryKind;
    using Src = AutostartSource;
    using Step = AutostartStep;
    const AutostartEntry none;
    const AutostartEntry machine = Entry(true, {"vm4417-launcher"});
    const AutostartEntry machineOff = Entry(false, {"vm4417-launcher"});
    const AutostartEntry hklm = Entry(true, {"C:\\P\\vm4417.exe", "--in-documents"});
    struct Case {
        const char* what;
        K kind;
        AutostartEntry user;
        AutostartEntry machine;
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
        const AutostartState state = DecideAutostart(c.user, c.machine, c.kind);
        EXPECT_EQ(state.on, c.on);
        EXPECT_EQ(state.source, c.source);
        const AutostartMenuItem item = MenuItemFor(state);
        EXPECT_EQ(item.checked, c.on);
        EXPECT_EQ(item.enabled, c.itemEnabled);
        EXPECT_EQ(StepToSwitch(state, true, c.kind), c.switchOn);
        EXPECT_EQ(StepToSwitch(state, false, c.kind), c.switchOff);
    }
}

TEST(AutostartRules, TheStateLineNamesTheFolderAndWhoSwitchedItOn) {
    const AutostartEntry none;
    const AutostartEntry hklm{true, true, true, {"C:\\P\\vm4417.exe", "--in-documents"}};
    const AutostartEntry disabled{true, false, true, {"C:\\P\\vm4417.exe", "--folder", "D:\\x"}};
    const auto line = [](const AutostartEntry& user, const AutostartEntry& machine) {
        return AutostartStateLine(DecideAutostart(user, machine, MachineEntryKind::RunsBeside));
    };
    EXPECT_EQ(line(Entry(true), none),
              "Spouštění po přihlášení je zapnuté, pracovní složka /u/VM4417.");
    EXPECT_EQ(line(none, hklm),
              "Spouštění po přihlášení je zapnuté pro všechny uživatele počítače (zapnul je "
              "správce), pracovní složka Dokumenty\\VM4417 každého uživatele.");
    EXPECT_EQ(line(disabled, none),
              "Spouštění po přihlášení je vypnuté ve Správci úloh (zapnete je zde nebo tam).");
    EXPECT_EQ(line(none, none), "Spouštění po přihlášení je vypnuté.");
    EXPECT_EQ(MenuItemFor(DecideAutostart(none, hklm, MachineEntryKind::RunsBeside)).text,
              "Spouštět po přihlášení (zapnul správce pro všechny)");
}

}  // namespace
}  // namespace vm4417
