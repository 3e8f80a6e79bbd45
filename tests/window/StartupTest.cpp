// Start-up: settings, the port scan and the option boxes.

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <numeric>

#include "WindowFixture.h"

namespace vm4417::test {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

std::vector<int> Descending(int from, int to) {
    std::vector<int> ports;
    for (int n = from; n >= to; --n) ports.push_back(n);
    return ports;
}

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(WindowTest, AReaderOnTheStoredPortIsFoundAtTheFirstTry) {
    AddReader(3);
    StoreSettings(SettingsWithPort(3));
    Start();
    EXPECT_EQ(TriedPorts(), std::vector<int>{3});
    EXPECT_EQ(view.status, "Připojeno zařízení VELM1234 na portu COM3");
    EXPECT_EQ(view.caption, "Čtečka čipů VELM1234");
    EXPECT_EQ(clock.sleeps, std::vector<std::chrono::milliseconds>{300ms});
    EXPECT_TRUE(view.timers[Timer::Timer1]);
    for (Control c :
         {Control::Image1, Control::Label1, Control::Label2, Control::Label3, Control::Memo1}) {
        EXPECT_TRUE(view[c].visible);
    }
    EXPECT_FALSE(view[Control::Image2].visible);
    EXPECT_FALSE(view[Control::BitBtn8].visible);
    EXPECT_TRUE(view[Control::BitBtn1].enabled);
    EXPECT_EQ(view.focus, Control::Memo1);
    EXPECT_FALSE(window->DemoIdle());
}

TEST_F(WindowTest, AMovedReaderIsFoundByScanningDownAndWrapping) {
    AddReader(7, "ABCD");
    StoreSettings(SettingsWithPort(3));
    Start();
    EXPECT_EQ(TriedPorts(), Join(Descending(3, 0), Descending(29, 7)));
    EXPECT_EQ(view.status, "Připojeno zařízení VELMABCD na portu COM7");
    EXPECT_EQ(window->Settings().PortNumber, 7);
    EXPECT_EQ(StoredSettings().PortNumber, 3) << "the file follows only at exit";
}

TEST_F(WindowTest, ScanOrderForEveryKindOfStoredPort) {
    struct Case {
        std::uint8_t stored;
        std::vector<int> tried;
    };
    const Case cases[] = {
        {29, Descending(29, 0)},           {5, Join(Descending(5, 0), Descending(29, 6))},
        {0, Join({0}, Descending(29, 1))}, {100, Descending(100, 71)},
        {255, Descending(29, 0)},
    };
    for (const Case& c : cases) {
        view.repaintedStatus.clear();
        StoreSettings(SettingsWithPort(c.stored));
        Start();
        EXPECT_EQ(TriedPorts(), c.tried) << "stored " << int(c.stored);
    }
}

TEST_F(WindowTest, FirstStartWithoutAReaderWritesTheDefaultsAndOffersTheDemo) {
    Start();
    EXPECT_EQ(ReadFileBytes(dir / "VM4417.INI"),
              (Bytes{29, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(TriedPorts(), Descending(29, 0));
    EXPECT_EQ(view.status, "Na žádném sériovém portu nebylo identifikováno zařízení.");
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_TRUE(view[Control::BitBtn8].visible);
    EXPECT_TRUE(window->DemoIdle());
    for (Control c : {Control::BitBtn1, Control::BitBtn2, Control::BitBtn3, Control::BitBtn4,
                      Control::BitBtn5}) {
        EXPECT_FALSE(view[c].enabled);
    }
    EXPECT_TRUE(view[Control::BitBtn6].enabled);
    EXPECT_FALSE(view.timers[Timer::Timer1]);
    EXPECT_FALSE(view[Control::Memo1].visible);
    EXPECT_FALSE(view[Control::CheckBox1].checked);
    EXPECT_TRUE(view[Control::CheckBox2].checked);
    EXPECT_TRUE(view[Control::CheckBox7].checked);
    EXPECT_FALSE(view[Control::CheckBox5].checked);
    EXPECT_EQ(view[Control::Edit1].text, "0");
    EXPECT_EQ(view.caption, "Čtečka čipů VELM");
}

TEST_F(WindowTest, AnEmptySettingsFileIsUsedAsItIs) {
    WriteFileBytes(dir / "VM4417.INI", {});
    Start();
    EXPECT_EQ(TriedPorts(), Join({0}, Descending(29, 1)));
    EXPECT_FALSE(view[Control::CheckBox2].checked);
    EXPECT_FALSE(view[Control::CheckBox7].checked);
    EXPECT_TRUE(ReadFileBytes(dir / "VM4417.INI").empty()) << "nothing is written";
}

TEST_F(WindowTest, AnUnwritableDirectoryShowsOneBoxAndStartUpGoesOn) {
    TempDir gone;
    WorkingDirectory inside(gone.path());
    ASSERT_EQ(rmdir(gone.path().c_str()), 0);
    Start();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].kind, FakeView::Box::Kind::Error);
    EXPECT_EQ(view.boxes[0].caption, "Error");
    EXPECT_EQ(view.boxes[0].text, "Chyba při ukládání parametrů");
    EXPECT_EQ(TriedPorts(), Descending(29, 0)) << "the defaults are in use";
    EXPECT_TRUE(view[Control::CheckBox7].checked);
}

// A settings file that is there but cannot be read is left as it is; one box
// says so and start-up goes on with the defaults.
struct UnreadableSettings {
    const char* name;
    std::function<void(const std::string& path)> make;
    bool asOrdinaryUser;
};

class UnreadableSettingsTest : public WindowTest,
                               public ::testing::WithParamInterface<UnreadableSettings> {};

TEST_P(UnreadableSettingsTest, AreLeftAloneReportedOnceAndTheDefaultsUsed) {
    const std::string path = dir / "VM4417.INI";
    GetParam().make(path);
    struct stat before {};
    ASSERT_EQ(lstat(path.c_str(), &before), 0);
    const auto startUp = [&] {
        Start();
        return view.boxes.size() == 1 && view.boxes[0].text == "Chyba při čtení parametrů" &&
               TriedPorts() == Descending(29, 0) && view[Control::CheckBox7].checked &&
               window->Settings().StoredCounter == 0;
    };
    if (GetParam().asOrdinaryUser) {
        ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
        EXPECT_TRUE(RunAsOrdinaryUser(startUp));
    } else {
        EXPECT_TRUE(startUp()) << (view.boxes.empty() ? "no box" : view.boxes[0].text);
    }
    struct stat after {};
    ASSERT_EQ(lstat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "not replaced";
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_size, before.st_size);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, UnreadableSettingsTest,
    ::testing::Values(
        UnreadableSettings{
            "Fifo", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }, false},
        UnreadableSettings{
            "Directory", [](const std::string& p) { ASSERT_EQ(mkdir(p.c_str(), 0755), 0); }, false},
        UnreadableSettings{
            "NoReadPermission",
            [](const std::string& p) {
                WriteFileBytes(p, {3, 0, 0, 0, 1, 0, 1, 1, 57, 48, 0, 0, 0, 0, 0, 0});
                ASSERT_EQ(chmod(p.c_str(), 0200), 0);
            },
            true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, MinimiseAtStart) {
    ReaderSettings settings = SettingsWithPort(29);
    settings.MinimizeAtStart = 1;
    StoreSettings(settings);
    Start();
    EXPECT_TRUE(view.minimized);
    EXPECT_TRUE(view[Control::CheckBox5].checked);
    EXPECT_EQ(window->Settings().MinimizeAtStart, 1);
}

TEST_F(WindowTest, OptionBoxesFollowTheSettingsAndLeaveTheRecordAsItWas) {
    ReaderSettings settings = SettingsWithPort(29);
    settings.CodeToKeys = 1;
    settings.OrderToKeys = 1;
    settings.TimeToKeys = 0;
    settings.SaveToDisk = 1;
    settings.DecimalCode = 1;
    settings.CrcOption = 1;
    settings.ExactCharacters = 1;
    settings.StoredCounter = 41;
    StoreSettings(settings);
    Start();
    EXPECT_TRUE(view[Control::CheckBox1].checked);
    EXPECT_TRUE(view[Control::CheckBox3].visible);
    EXPECT_TRUE(view[Control::CheckBox3].checked);
    EXPECT_TRUE(view[Control::CheckBox4].visible);
    EXPECT_FALSE(view[Control::CheckBox4].checked);
    EXPECT_TRUE(view[Control::CheckBox6].checked);
    EXPECT_TRUE(view[Control::CheckBox10].checked);
    EXPECT_TRUE(view[Control::CheckBox11].checked);
    EXPECT_TRUE(view[Control::CheckBox11].enabled);
    EXPECT_FALSE(view[Control::CheckBox9].checked) << "the hidden CRC box always starts unchecked";
    EXPECT_EQ(view[Control::Edit1].text, "41");
    EXPECT_EQ(window->CaptureCounter(), 41u);
    EXPECT_EQ(window->Settings(), settings);
}

TEST_F(WindowTest, TypingSubOptionsAreClearedWhenTypingIsOff) {
    ReaderSettings settings = SettingsWithPort(29);
    settings.OrderToKeys = 1;
    settings.TimeToKeys = 1;
    StoreSettings(settings);
    Start();
    EXPECT_FALSE(view[Control::CheckBox1].checked);
    EXPECT_FALSE(view[Control::CheckBox3].visible);
    EXPECT_EQ(window->Settings().OrderToKeys, 0);
    EXPECT_EQ(window->Settings().TimeToKeys, 0);
}

TEST_F(WindowTest, ExactCharactersCanBeChangedOnlyWhileCapturesAreTyped) {
    ReaderSettings settings = SettingsWithPort(29);
    settings.ExactCharacters = 1;
    StoreSettings(settings);
    Start();
    EXPECT_TRUE(view[Control::CheckBox11].checked);
    EXPECT_FALSE(view[Control::CheckBox11].enabled);
    view.SetChecked(Control::CheckBox1, true);
    window->CheckBoxClick(Control::CheckBox1);
    EXPECT_TRUE(view[Control::CheckBox11].enabled);
    view.SetChecked(Control::CheckBox1, false);
    window->CheckBoxClick(Control::CheckBox1);
    EXPECT_FALSE(view[Control::CheckBox11].enabled);
    EXPECT_EQ(window->Settings().ExactCharacters, 1) << "kept while typing is off";
}

TEST_F(WindowTest, UncheckingAndCheckingTypingLeavesBothSubOptionsUnchecked) {
    ReaderSettings settings = SettingsWithPort(29);
    settings.CodeToKeys = 1;
    settings.OrderToKeys = 1;
    settings.TimeToKeys = 1;
    StoreSettings(settings);
    Start();
    ASSERT_TRUE(view[Control::CheckBox3].checked);
    // As a click does: the box changes, then its handler runs.
    view.SetChecked(Control::CheckBox1, false);
    window->CheckBoxClick(Control::CheckBox1);
    view.SetChecked(Control::CheckBox1, true);
    window->CheckBoxClick(Control::CheckBox1);
    EXPECT_TRUE(view[Control::CheckBox3].visible);
    EXPECT_FALSE(view[Control::CheckBox3].checked);
    EXPECT_FALSE(view[Control::CheckBox4].checked);
    EXPECT_EQ(window->Settings().CodeToKeys, 1);
    EXPECT_EQ(window->Settings().OrderToKeys, 0);
    EXPECT_EQ(window->Settings().TimeToKeys, 0);
}

TEST_F(WindowTest, EachBoxCopiesItselfIntoTheRecord) {
    Start();
    const std::pair<Control, std::uint8_t ReaderSettings::*> boxes[] = {
        {Control::CheckBox2, &ReaderSettings::LedOffAfterCode},
        {Control::CheckBox5, &ReaderSettings::MinimizeAtStart},
        {Control::CheckBox6, &ReaderSettings::SaveToDisk},
        {Control::CheckBox7, &ReaderSettings::SoundSignal},
        {Control::CheckBox9, &ReaderSettings::CrcOption},
        {Control::CheckBox10, &ReaderSettings::DecimalCode},
        {Control::CheckBox11, &ReaderSettings::ExactCharacters},
    };
    for (const auto& [box, field] : boxes) {
        for (bool checked : {true, false, true}) {
            view.SetChecked(box, checked);
            window->CheckBoxClick(box);
            EXPECT_EQ(window->Settings().*field, checked ? 1 : 0);
        }
    }
    const ReaderSettings before = window->Settings();
    window->CheckBoxClick(Control::CheckBox8);
    EXPECT_EQ(window->Settings(), before) << "the Family box does nothing";
}

TEST_F(WindowTest, APortThatOpensButDoesNotAnswerIsClosedAgain) {
    auto& mute = AddReader(29);
    mute.SetSilent(true);
    AddReader(27);
    StoreSettings(SettingsWithPort(29));
    Start();
    EXPECT_EQ(TriedPorts(), (std::vector<int>{29, 28, 27}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{300ms, 300ms}));
    EXPECT_EQ(view.status, "Připojeno zařízení VELM1234 na portu COM27");
    // The silent port was closed: it can be opened again.
    EXPECT_NE(ports.Open(29, ReaderPortConfig()).line, nullptr);
}

TEST_F(WindowTest, PortsThatCouldNotBeOpenedAreKeptWithTheirReasons) {
    AddReader(9).SetSilent(true);  // opens, but no reader answers
    AddReader(5);
    const OpenedLine otherProgram = ports.Open(5, ReaderPortConfig());
    ASSERT_NE(otherProgram.line, nullptr);
    WriteFileBytes(portDir + "/COM7", {});
    Start();
    EXPECT_EQ(view.status, "Na žádném sériovém portu nebylo identifikováno zařízení.");
    std::vector<std::pair<int, Fault>> failures;
    for (const PortFailure& failure : window->ScanFailures()) {
        failures.emplace_back(failure.number, failure.status.fault);
    }
    std::vector<std::pair<int, Fault>> expected;
    for (int n = 29; n >= 0; --n) {
        if (n == 9) continue;
        expected.emplace_back(n, n == 7   ? Fault::WrongKind
                                 : n == 5 ? Fault::InUse
                                          : Fault::Missing);
    }
    EXPECT_EQ(failures, expected);
}

// The administrator's preset at a first start: a whole record is copied as
// the operator's settings file and used; anything else is told once, and
// the defaults are used and written; an operator's own file always wins.
TEST_F(WindowTest, APresetIsCopiedAtTheFirstStartOnly) {
    AddReader(3);
    TempDir machine;
    settingsPreset = machine / "VM4417.INI";
    const Bytes preset{3, 1, 1, 1, 0, 0, 1, 0, 7, 0, 0, 0, 0, 0, 1, 0};
    WriteFileBytes(settingsPreset, preset);
    Start();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(ReadFileBytes(dir / "VM4417.INI"), preset);
    EXPECT_EQ(TriedPorts(), std::vector<int>{3});
    EXPECT_TRUE(view[Control::CheckBox1].checked);
    EXPECT_TRUE(view[Control::CheckBox11].checked);
    EXPECT_EQ(view[Control::Edit1].text, "7");

    // The operator's own file, changed since, is read and left as it is.
    const Bytes own{3, 0, 0, 0, 1, 0, 0, 1, 41, 0, 0, 0, 0, 0, 0, 0};
    WriteFileBytes(dir / "VM4417.INI", own);
    view = FakeView();
    Start();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(ReadFileBytes(dir / "VM4417.INI"), own);
    EXPECT_EQ(view[Control::Edit1].text, "41");
}

TEST_F(WindowTest, APresetThatIsNoSettingsRecordIsToldAndTheDefaultsWritten) {
    TempDir machine;
    settingsPreset = machine / "VM4417.INI";
    struct Case {
        const char* what;
        std::function<void()> make;
        std::string reason;  // how the box ends
    };
    const Case cases[] = {
        {"15 bytes", [&] { WriteFileBytes(settingsPreset, Bytes(15, 1)); },
         "soubor má 15 bajtů místo 16; použijí se výchozí parametry."},
        {"17 bytes", [&] { WriteFileBytes(settingsPreset, Bytes(17, 1)); },
         "soubor má 17 bajtů místo 16; použijí se výchozí parametry."},
        {"empty", [&] { WriteFileBytes(settingsPreset, {}); },
         "soubor má 0 bajtů místo 16; použijí se výchozí parametry."},
        {"a folder", [&] { ASSERT_EQ(mkdir(settingsPreset.c_str(), 0755), 0); },
         ": not a regular file); použijí se výchozí parametry."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(settingsPreset);
        std::filesystem::remove(dir / "VM4417.INI");
        c.make();
        view = FakeView();
        Start();
        ASSERT_EQ(view.boxes.size(), 1u);
        const std::string& box = view.boxes[0].text;
        EXPECT_EQ(box.rfind("Chyba v přednastavení parametrů " + settingsPreset + ": ", 0), 0u)
            << box;
        EXPECT_TRUE(box.ends_with(c.reason)) << box;
        EXPECT_EQ(reported, std::vector<std::string>{box}) << "also on standard error";
        reported.clear();
        EXPECT_EQ(ReadFileBytes(dir / "VM4417.INI"),
                  (Bytes{29, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    }
    std::filesystem::remove_all(settingsPreset);
    std::filesystem::remove(dir / "VM4417.INI");
    view = FakeView();
    Start();
    EXPECT_TRUE(view.boxes.empty()) << "no preset: the defaults without a word";
}

}  // namespace
}  // namespace vm4417::test
