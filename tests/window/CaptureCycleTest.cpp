// The capture cycle: one tick of the poll timer per call.

#include <cstdio>
#include <functional>
#include <random>

#include "WindowFixture.h"

namespace vm4417::test {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

class CaptureCycle : public WindowTest {
protected:
    void SetUp() override {
        reader = &AddReader(3);
        StoreSettings(Settings());
        Start();
        ASSERT_TRUE(window->ReaderFound());
        initialColor = view.statusColor;
    }
    virtual ReaderSettings Settings() { return SettingsWithPort(3); }

    readersim::ReaderSimulator* reader = nullptr;
    Rgb initialColor;
};

std::string Line(std::uint32_t n, const std::string& time, const std::string& code) {
    return std::to_string(n) + "       " + time + "      " + code;
}

TEST_F(CaptureCycle, ThreeChipsFillTheFirstThreeLines) {
    Capture("00000A1B2C3D45");
    clock.local.second = 6;
    Capture("00000000000099");
    Capture("FFFFFFFFFFFF00");
    EXPECT_EQ(ListLine(0), "1       09:41:05      00000A1B2C3D");
    EXPECT_EQ(ListLine(1), Line(2, "09:41:06", "000000000000"));
    EXPECT_EQ(ListLine(2), Line(3, "09:41:06", "FFFFFFFFFFFF"));
    EXPECT_EQ(ListLine(3), "");
    EXPECT_EQ(view[Control::Edit1].text, "3");
    EXPECT_EQ(window->ListLine(), 3);
    EXPECT_EQ(window->Settings().StoredCounter, 3u);
    EXPECT_EQ(sound.plays, 3);
    EXPECT_TRUE(view.timers[Timer::Timer1]);
    // The LED-off command followed each capture, and the indicator is dark,
    // for a screen reader too.
    EXPECT_TRUE(view.LedDarkShown());
    EXPECT_EQ(view.accessibleNames[Control::Image1], "LED čtečky nesvítí");
    EXPECT_EQ(view.accessibleNames[Control::Image2], "LED čtečky nesvítí");
    ASSERT_TRUE(reader->WaitForRequests(4, 1s));
    EXPECT_EQ(reader->Requests().back().bytes, "QZ\r");
}

TEST_F(CaptureCycle, FromThe31stCaptureTheListScrolls) {
    for (int i = 1; i <= 30; ++i) Capture("00000000000000");
    EXPECT_EQ(window->ListLine(), 30);
    EXPECT_EQ(ListLine(0), Line(1, "09:41:05", "000000000000"));
    EXPECT_EQ(ListLine(29), Line(30, "09:41:05", "000000000000"));
    EXPECT_EQ(ListLine(30), "");

    Capture("31313131313131");
    EXPECT_EQ(window->ListLine(), 30);
    EXPECT_EQ(ListLine(0), Line(2, "09:41:05", "000000000000"));
    EXPECT_EQ(ListLine(29), Line(31, "09:41:05", "313131313131"));
    EXPECT_EQ(ListLine(30), "");

    Capture("32323232323232");
    EXPECT_EQ(ListLine(0), Line(3, "09:41:05", "000000000000"));
    EXPECT_EQ(ListLine(28), Line(31, "09:41:05", "313131313131"));
    EXPECT_EQ(ListLine(29), Line(32, "09:41:05", "323232323232"));
    EXPECT_EQ(ListLine(30), "");
}

TEST_F(CaptureCycle, NothingArrivesNothingChanges) {
    window->Timer1Timer();
    EXPECT_EQ(window->CaptureCounter(), 0u);
    EXPECT_EQ(ListLine(0), "");
    EXPECT_EQ(sound.plays, 0);
    EXPECT_TRUE(view.timers[Timer::Timer1]);
}

TEST_F(CaptureCycle, AMalformedFrameChangesNothing) {
    Capture("00000A1B2C3D45");
    reader->SendRaw("B99999999999999\r");
    window->Timer1Timer();
    reader->SendRaw("A99999999999999");  // one byte short
    window->Timer1Timer();
    EXPECT_EQ(window->CaptureCounter(), 1u);
    EXPECT_EQ(ListLine(1), "");
    EXPECT_EQ(window->Link().ChipCodeText(), "00000A1B2C3D");
}

TEST_F(CaptureCycle, UnprintableCodeBytesAreMarkedAlikeInTheListAndTheLog) {
    view.SetChecked(Control::CheckBox6, true);
    window->CheckBoxClick(Control::CheckBox6);
    reader->SendRaw(
        std::string("A00\x01\x7f\xc3"
                    "000000000\r",
                    16));
    window->Timer1Timer();
    // A CR LF in the code must not forge a second log line.
    reader->SendRaw("A0\r\n7 23:59:5XY\r");
    window->Timer1Timer();
    EXPECT_EQ(ListLine(0), Line(1, "09:41:05", "00???0000000"));
    EXPECT_EQ(ListLine(1), Line(2, "09:41:05", "0??7 23:59:5"));
    EXPECT_EQ(ReadFileText(dir / "VM06D12M.txt"),
              "1 09:41:05 00???0000000\r\n2 09:41:05 0??7 23:59:5\r\n");
}

TEST_F(CaptureCycle, TheCounterWrapsAfter4294967295) {
    view.SetText(Control::Edit1, "-2");  // 4294967294
    ASSERT_TRUE(window->Edit1Exit());
    Capture("00000000000001");
    Capture("00000000000002");
    EXPECT_EQ(ListLine(0), Line(4294967295u, "09:41:05", "000000000000"));
    EXPECT_EQ(ListLine(1), Line(0, "09:41:05", "000000000000"));
    EXPECT_EQ(view[Control::Edit1].text, "0");
}

TEST_F(CaptureCycle, WithLedOffOffTheIndicatorStaysLit) {
    view.SetChecked(Control::CheckBox2, false);
    window->CheckBoxClick(Control::CheckBox2);
    Capture("00000A1B2C3D45");
    EXPECT_TRUE(view.LedLitShown());
    EXPECT_EQ(view.accessibleNames[Control::Image2], "LED čtečky svítí");
    EXPECT_EQ(view.accessibleNames[Control::Image1], "LED čtečky svítí");
    EXPECT_GE(view[Control::Image2].repaints, 1) << "lit at once, before anything slow";
    ASSERT_TRUE(reader->WaitForRequests(1, 1s));
    EXPECT_EQ(reader->Requests().size(), 1u) << "only the identification";
}

TEST_F(CaptureCycle, AFailedLedOffLeavesTheIndicatorLit) {
    reader->SendFrame("00000A1B2C3D45");
    reader->SetSilent(true);
    window->Timer1Timer();
    EXPECT_EQ(window->CaptureCounter(), 1u);
    EXPECT_EQ(view.status, "Chyba při zhasnutí LED");
    EXPECT_TRUE(view.LedLitShown());
    EXPECT_EQ(view.accessibleNames[Control::Image2], "LED čtečky svítí");
}

TEST_F(CaptureCycle, TheYellowOfARepeatedReadGoesAtTheNextCapture) {
    Capture("00000A1B2C3D45");
    window->BitBtn5Click();
    EXPECT_EQ(view.statusColor, (Rgb{255, 255, 0}));
    EXPECT_EQ(view.status, "00000A1B2C3D");
    Capture("11111111111111");
    EXPECT_EQ(view.statusColor, initialColor);
}

TEST_F(CaptureCycle, CapturesGoToTheDailyLogWhenSavingIsOn) {
    view.SetChecked(Control::CheckBox6, true);
    window->CheckBoxClick(Control::CheckBox6);
    Capture("00000A1B2C3D45");
    clock.local.second = 9;
    Capture("0000000000FF00");
    EXPECT_EQ(ReadFileText(dir / "VM06D12M.txt"),
              "1 09:41:05 00000A1B2C3D\r\n2 09:41:09 0000000000FF\r\n");

    // A log that cannot be written is reported; the capture goes on.
    clock.local.day = 7;
    ASSERT_EQ(mkdir((dir / "VM07D12M.txt").c_str(), 0755), 0);
    Capture("33333333333333");
    EXPECT_EQ(view.status, "Chyba při ukládání dat");
    EXPECT_EQ(ListLine(2), Line(3, "09:41:09", "333333333333"));
}

TEST_F(CaptureCycle, ALogFailureStaysShownOverItsCapturesLesserErrorsUntilLoggingWorks) {
    view.SetChecked(Control::CheckBox6, true);
    window->CheckBoxClick(Control::CheckBox6);
    const std::string log = dir / "VM06D12M.txt";
    struct Case {
        const char* lesser;
        std::function<void(bool failing)> make;
    };
    const Case cases[] = {
        {"LED off", [&](bool failing) { reader->SetSilent(failing); }},
        {"keys",
         [&](bool failing) {
             keys.available = !failing;
             view.SetChecked(Control::CheckBox1, failing);
             window->CheckBoxClick(Control::CheckBox1);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lesser);
        std::remove(log.c_str());
        ASSERT_EQ(mkdir(log.c_str(), 0755), 0);
        c.make(true);
        Capture("11111111111111");
        EXPECT_EQ(view.status, "Chyba při ukládání dat");
        // A screen reader hears what the status bar shows, no more often.
        EXPECT_TRUE(view.announcements.empty());

        ASSERT_EQ(rmdir(log.c_str()), 0);
        c.make(false);
        Capture("22222222222222");
        EXPECT_EQ(view.status, "Připojeno zařízení VELM1234 na portu COM3");
    }
}

TEST_F(CaptureCycle, SoundOnlyWhenSignalIsOn) {
    view.SetChecked(Control::CheckBox7, false);
    window->CheckBoxClick(Control::CheckBox7);
    Capture("00000A1B2C3D45");
    EXPECT_EQ(sound.plays, 0);
}

TEST_F(CaptureCycle, AnUnpluggedReaderIsWaitedForOnItsPortAndCapturesGoOnWhenItIsBack) {
    readersim::ReaderSimulator& other = AddReader(4);
    Capture("11111111111111");
    const std::size_t sleeps = clock.sleeps.size();
    reader->Stop();
    window->Timer1Timer();
    EXPECT_TRUE(window->ReaderLost());
    EXPECT_EQ(view.status,
              "Čtečka odpojena, čekám na ni na portu COM3 i na nově připojených portech");
    for (int i = 0; i < 6; ++i) Tick();
    EXPECT_TRUE(window->ReaderLost());

    ASSERT_TRUE(reader->Start().ok());
    int ticks = 0;
    for (; window->ReaderLost() && ticks < 20; ++ticks) Tick();
    EXPECT_FALSE(window->ReaderLost());
    EXPECT_LE(ticks, 5) << "opened within about a second, identified a moment later";
    EXPECT_EQ(view.status, "Připojeno zařízení VELM1234 na portu COM3");
    EXPECT_EQ(clock.sleeps.size(), sleeps) << "no tick waited for the reader";
    EXPECT_TRUE(view.timers[Timer::Timer1]);

    Capture("22222222222222");
    EXPECT_EQ(ListLine(0), Line(1, "09:41:05", "111111111111"));
    EXPECT_EQ(ListLine(1), Line(2, "09:41:05", "222222222222"));
    EXPECT_EQ(view[Control::Edit1].text, "2");
    EXPECT_TRUE(other.Requests().empty()) << "a reader there all along is not asked";
}

// The adapter comes back under another number, as a replug into another
// socket gives it; a silent device that was there all along hears nothing,
// and "Konec programu" saves the new port for the next start.
TEST_F(CaptureCycle, AReaderBackOnAnotherPortIsTakenThereAndItsPortSaved) {
    readersim::ReaderSimulator& bystander = AddReader(4);
    bystander.SetSilent(true);
    reader->Stop();
    window->Timer1Timer();
    ASSERT_TRUE(window->ReaderLost());
    for (int i = 0; i < 6; ++i) Tick();
    readersim::ReaderSimulator& moved = AddReader(16);
    int ticks = 0;
    for (; window->ReaderLost() && ticks < 30; ++ticks) Tick();
    ASSERT_FALSE(window->ReaderLost());
    EXPECT_LE(ticks, 6) << "about a second to settle, one tick to open, one to identify";
    EXPECT_EQ(view.status, "Čtečka VELM1234 je zpět na portu COM16 (dříve COM3)");

    moved.SendFrame("33333333333333");
    Tick();
    EXPECT_EQ(view[Control::Edit1].text, "1");
    EXPECT_EQ(ListLine(0), Line(1, "09:41:05", "333333333333"));
    EXPECT_TRUE(bystander.Requests().empty());
    window->BitBtn7Click();
    EXPECT_EQ(StoredSettings().PortNumber, 16);
}

// Two readers may serve two programs at one workstation: a reader with
// another identification on a new port is told of once and left alone.
TEST_F(CaptureCycle, AnotherReaderOnANewPortIsToldNotTaken) {
    reader->Stop();
    window->Timer1Timer();
    readersim::ReaderSimulator& stranger = AddReader(6, "9999");
    for (int i = 0; i < 60; ++i) Tick();
    EXPECT_TRUE(window->ReaderLost());
    EXPECT_EQ(view.status, "Na portu COM6 je jiná čtečka (VELM9999), čekám na VELM1234");
    // The simulator logs a request just after its reply.
    ASSERT_TRUE(stranger.WaitForRequests(1, 1s));
    EXPECT_EQ(stranger.Requests().size(), 1u) << "one identification per appearance";
    EXPECT_EQ(window->Settings().PortNumber, 3);
}

// Before a sleep the port is let go as the exit button lets it go; after
// it the reader is opened and identified at once, and a chip touched
// meanwhile is captured.
TEST_F(CaptureCycle, ASleepLetsThePortGoAndTheChipTouchedAtResumeIsCaptured) {
    Capture("11111111111111");
    const std::size_t requests = reader->Requests().size();
    window->PrepareForSleep();
    EXPECT_TRUE(window->Asleep());
    TermiosSerialPorts otherProgram(ports.Locations());
    EXPECT_NE(otherProgram.Open(3, ReaderPortConfig()).line, nullptr) << "the port is free";
    Tick();
    EXPECT_EQ(reader->Requests().size(), requests) << "no request while asleep";

    reader->SendFrame("22222222222222");
    window->ResumeFromSleep();
    EXPECT_FALSE(window->Asleep());
    Tick();
    EXPECT_FALSE(window->ReaderLost());
    EXPECT_EQ(view.status, "Připojeno zařízení VELM1234 na portu COM3");
    Tick();
    EXPECT_EQ(ListLine(1), Line(2, "09:41:05", "222222222222"));
}

TEST_F(CaptureCycle, ExitAfterTheReaderWasUnpluggedShowsNoCloseError) {
    reader->Stop();
    window->BitBtn7Click();
    EXPECT_TRUE(view.boxes.empty()) << "exit before any tick noticed the loss";
    EXPECT_TRUE(view.closed);
}

TEST_F(CaptureCycle, ExitWhileWaitingForAnUnpluggedReaderShowsNoCloseError) {
    reader->Stop();
    window->Timer1Timer();
    EXPECT_TRUE(window->ReaderLost());
    window->BitBtn7Click();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_TRUE(view.closed);
}

class TypingCycle : public CaptureCycle {
protected:
    ReaderSettings Settings() override {
        ReaderSettings settings = SettingsWithPort(3);
        settings.CodeToKeys = 1;
        settings.OrderToKeys = 1;
        return settings;
    }
};

std::string TypedDigits(const std::vector<KeyEvent>& events) {
    std::string typed;
    for (const KeyEvent& e : events) {
        if (!e.keyUp && e.virtualKey >= '0' && e.virtualKey <= 'Z')
            typed += static_cast<char>(e.virtualKey);
    }
    return typed;
}

TEST_F(TypingCycle, TypedCapturesLeaveTheListAloneButAdvanceTheNumbering) {
    Capture("00000A1B2C3D45");
    Capture("0000000000FF00");
    EXPECT_EQ(ListLine(0), "");
    EXPECT_EQ(window->ListLine(), 0);
    EXPECT_EQ(view[Control::Edit1].text, "2");
    EXPECT_EQ(TypedDigits(keys.events),
              "100000A1B2C3D"
              "20000000000FF");
    EXPECT_FALSE(keys.exact);

    view.SetChecked(Control::CheckBox11, true);
    window->CheckBoxClick(Control::CheckBox11);
    Capture("00000A1B2C3D45");
    EXPECT_TRUE(keys.exact) << "the next capture asks for exact characters";
}

TEST_F(TypingCycle, ChipsTouchedWhileCapturesAreTypedAreEachLoggedOnceInOrder) {
    view.SetChecked(Control::CheckBox6, true);
    window->CheckBoxClick(Control::CheckBox6);
    // The next chip touches the reader while a capture is being typed, so
    // its frame arrives ahead of the LED-off reply.
    std::vector<std::string> codes;
    for (char c : std::string("0123456789AB")) codes.push_back(std::string(14, c));
    std::size_t touched = 1;
    keys.onBegin = [&] {
        if (touched < codes.size()) reader->SendFrame(codes[touched++]);
    };
    reader->SendFrame(codes[0]);
    for (int tick = 0; tick < 50 && window->CaptureCounter() < codes.size(); ++tick) {
        window->Timer1Timer();
    }
    std::string typed, logged;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const std::string code12 = codes[i].substr(0, 12);
        typed += std::to_string(i + 1) + code12;
        logged += std::to_string(i + 1) + " 09:41:05 " + code12 + "\r\n";
    }
    EXPECT_EQ(TypedDigits(keys.events), typed);
    EXPECT_EQ(ReadFileText(dir / "VM06D12M.txt"), logged);
    for (const std::string& status : view.statusTexts) EXPECT_NE(status, "Chyba při zhasnutí LED");
    EXPECT_TRUE(view.LedDarkShown());
}

TEST_F(TypingCycle, ACaptureThatCannotBeTypedIsListedInsteadAndTheOperatorHearsWhy) {
    keys.available = false;
    Capture("00000A1B2C3D45");
    EXPECT_EQ(ListLine(0), "1       09:41:05      00000A1B2C3D");
    EXPECT_EQ(view.status, "Chyba při zápisu do klávesnice");
    EXPECT_EQ(window->CaptureCounter(), 1u);

    // Ctrl held through the whole wait: a shortcut is never typed.
    keys.available = true;
    keys.keyboard = [] { return OperatorKeyboard{held::Ctrl, false}; };
    Capture("0000000000FF00");
    EXPECT_EQ(ListLine(1), "2       09:41:05      0000000000FF");
    EXPECT_EQ(view.status, "Chyba při zápisu do klávesnice: je stisknutá klávesa Ctrl");
    EXPECT_TRUE(keys.events.empty());
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[1],
              "Chyba při zápisu do klávesnice: je stisknutá klávesa Ctrl "
              "(v seznamu v okně je záznam č. 2)");
}

TEST_F(TypingCycle, ACaptureWithTheOperatorsKeysAmongItsOwnIsAlsoListedAndTold) {
    keys.operatorKeys = OperatorKeys::Seen;
    keys.operatorKeysSeen = [](Clock::TimePoint, std::size_t sent) { return sent > 5 ? 1 : 0; };
    Capture("00000A1B2C3D45");
    EXPECT_FALSE(keys.events.empty()) << "typed";
    EXPECT_EQ(ListLine(0), "1       09:41:05      00000A1B2C3D");
    const std::string note =
        "Pozor při zápisu do klávesnice: mezi znaky záznamu se dostaly klávesy, které jste "
        "během psaní stiskli; záznam je i v seznamu v okně (záznam č. 1)";
    EXPECT_EQ(view.status, note);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], note);
}

// A capture the application did not receive sounds different and calls an
// operator who is not looking at the window, or is spoken by the screen
// reader of one who is; every other capture sounds as always and calls
// nobody.
TEST_F(TypingCycle, OnlyACaptureNotTypedWarnsAndCallsTheOperatorWhenTheWindowIsNotInFront) {
    enum class Keys { Typed, CtrlHeld, Unavailable, OperatorKeysMixedIn };
    struct Case {
        const char* what;
        bool typing;
        Keys keyboard;
        bool inFront;
        bool soundOn;
        int plays, warnings;
        const char* notice;  // with {} for the capture's number; none when null
        const char* spoken;  // the same for the screen reader
    };
    const char* const ctrlNotice =
        "Záznam č. {} nebyl napsán: je stisknutá klávesa Ctrl. Je v seznamu v okně programu.";
    const Case cases[] = {
        {"not typed, window not in front", true, Keys::CtrlHeld, false, true, 0, 1, ctrlNotice,
         nullptr},
        {"not typed, window in front", true, Keys::CtrlHeld, true, true, 0, 1, nullptr, ctrlNotice},
        {"not typed, sound off", true, Keys::CtrlHeld, false, false, 0, 0, ctrlNotice, nullptr},
        {"not typed, no reason given", true, Keys::Unavailable, false, true, 0, 1,
         "Záznam č. {} nebyl napsán. Je v seznamu v okně programu.", nullptr},
        {"typed", true, Keys::Typed, false, true, 1, 0, nullptr, nullptr},
        {"typed, window in front", true, Keys::Typed, true, true, 1, 0, nullptr, nullptr},
        {"typed, the operator's keys among its own", true, Keys::OperatorKeysMixedIn, false, true,
         1, 0, nullptr, nullptr},
        {"listed, typing off", false, Keys::Typed, true, true, 1, 0, nullptr, nullptr},
    };
    auto setBox = [&](Control box, bool on) {
        if (view.IsChecked(box) == on) return;
        view.SetChecked(box, on);
        window->CheckBoxClick(box);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setBox(Control::CheckBox1, c.typing);
        setBox(Control::CheckBox7, c.soundOn);
        keys.available = c.keyboard != Keys::Unavailable;
        keys.keyboard = [&c] {
            return OperatorKeyboard{c.keyboard == Keys::CtrlHeld ? held::Ctrl : 0, false};
        };
        keys.operatorKeys =
            c.keyboard == Keys::OperatorKeysMixedIn ? OperatorKeys::Seen : OperatorKeys::Unseen;
        keys.operatorKeysSeen = [&c](Clock::TimePoint, std::size_t sent) {
            return c.keyboard == Keys::OperatorKeysMixedIn && sent > 5 ? 1 : 0;
        };
        attention.inFront = c.inFront;
        attention.notices.clear();
        view.announcements.clear();
        sound.plays = sound.warnings = 0;

        Capture("00000A1B2C3D45");
        EXPECT_EQ(sound.plays, c.plays);
        EXPECT_EQ(sound.warnings, c.warnings);
        auto numbered = [&](const char* notice) {
            std::vector<std::string> notices;
            if (notice == nullptr) return notices;
            notices.emplace_back(notice);
            notices[0].replace(notices[0].find("{}"), 2, std::to_string(window->CaptureCounter()));
            return notices;
        };
        EXPECT_EQ(attention.notices, numbered(c.notice));
        EXPECT_EQ(view.announcements, numbered(c.spoken));
    }
}

class DecimalCycle : public CaptureCycle {
protected:
    ReaderSettings Settings() override {
        ReaderSettings settings = SettingsWithPort(3);
        settings.DecimalCode = 1;
        return settings;
    }
};

TEST_F(DecimalCycle, AnUnconvertibleCodeShowsItsBoxAndPollingGoesOnAfterOk) {
    Capture("0000000000103A");
    EXPECT_EQ(ListLine(0), Line(1, "09:41:05", "16"));

    reader->SendFrame("00000000001G00");
    window->Timer1Timer();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].kind, FakeView::Box::Kind::Conversion);
    EXPECT_EQ(view.boxes[0].caption, "Vm4417");
    EXPECT_EQ(view.boxes[0].text, "'$00000000001G' is not a valid integer value.");
    EXPECT_FALSE(view.boxes[0].timer1WasEnabled) << "no tick may stack a second box";
    EXPECT_TRUE(view.timers[Timer::Timer1]) << "polling resumes after OK";
    EXPECT_EQ(window->CaptureCounter(), 1u);
    EXPECT_EQ(ListLine(1), "");

    Capture("0000FFFFFFFF00");
    EXPECT_EQ(ListLine(1), Line(2, "09:41:05", "-1"));
}

TEST_F(CaptureCycle, NoiseAndMalformedFramesNeverMakeACapture) {
    std::mt19937 random(5);
    int valid = 0;
    int longestTick = 0;
    // One tick; true when it waited out the whole read time-out, which
    // happens only once nothing is queued any more.
    auto tick = [&] {
        const auto start = Steady::now();
        window->Timer1Timer();
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start);
        longestTick = std::max(longestTick, static_cast<int>(ms.count()));
        return ms >= 300ms;
    };
    reader->SetMalformation(readersim::Malformation::WrongFirstByte);
    for (int burst = 0; burst < 10; ++burst) {
        for (int i = 0; i < 100; ++i) reader->SendFrame();
        std::string noise(200 + random() % 300, '\0');
        for (char& c : noise) c = static_cast<char>('B' + random() % 60);  // never "A"
        reader->SendRaw(noise);
        int ticks = 0;
        while (!tick()) ASSERT_LT(++ticks, 200) << "the queue never drained";
        EXPECT_EQ(window->CaptureCounter(), static_cast<std::uint32_t>(valid)) << "burst " << burst;
        reader->SetMalformation(readersim::Malformation::None);
        Capture("0000000000" + std::to_string(1000 + burst));
        ++valid;
        EXPECT_EQ(window->CaptureCounter(), static_cast<std::uint32_t>(valid)) << "burst " << burst;
        reader->SetMalformation(readersim::Malformation::WrongFirstByte);
    }
    // One read time-out is at most 328 ms; a tick that read twice would wait
    // at least 656 ms. The margin between is for a busy machine.
    EXPECT_LT(longestTick, 600) << "a tick never blocks longer than one read time-out";
}

}  // namespace
}  // namespace vm4417::test
