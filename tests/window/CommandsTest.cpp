// Operator commands, the counter field and the exit button.

#include "WindowFixture.h"

namespace vm4417::test {
namespace {

using namespace std::chrono_literals;
using readersim::Malformation;

class Commands : public WindowTest {
protected:
    void SetUp() override { reader = &StartWithReaderOn(3); }
    readersim::ReaderSimulator* reader = nullptr;
};

struct CommandCase {
    void (MainWindow::*handler)();
    char letter;
    std::string done;
    std::string failed;
};

TEST_F(Commands, EachCommandReportsSuccessAndFailure) {
    const CommandCase cases[] = {
        {&MainWindow::BitBtn1Click, 'B', "Čtečka zablokována", "Chyba při blokování čtečky"},
        {&MainWindow::BitBtn2Click, 'O', "Čtečka odblokována", "Chyba při odblokování čtečky"},
        {&MainWindow::BitBtn3Click, 'R', "LED svítí", "Chyba při rozsvícení LED"},
        {&MainWindow::BitBtn4Click, 'Z', "LED zhasnuta", "Chyba při zhasnutí LED"},
    };
    std::size_t requests = 1;
    for (const CommandCase& c : cases) {
        reader->SetMalformation(Malformation::None);
        reader->SetSilent(false);
        (window.get()->*c.handler)();
        EXPECT_EQ(view.status, c.done);
        ASSERT_TRUE(reader->WaitForRequests(++requests, 1s));
        EXPECT_EQ(reader->Requests().back().bytes, (std::string{'Q', c.letter, '\r'}));

        reader->SetMalformation(Malformation::WrongLastByte);
        (window.get()->*c.handler)();
        EXPECT_EQ(view.status, c.failed) << "malformed reply";
        ++requests;

        reader->SetMalformation(Malformation::None);
        reader->SetSilent(true);
        (window.get()->*c.handler)();
        EXPECT_EQ(view.status, c.failed) << "silence";
        ++requests;
    }
}

TEST_F(Commands, LedButtonsChangeTheIndicatorOnlyOnSuccess) {
    window->BitBtn3Click();
    EXPECT_TRUE(view.LedLitShown());
    reader->SetSilent(true);
    window->BitBtn4Click();
    EXPECT_TRUE(view.LedLitShown());
    reader->SetSilent(false);
    window->BitBtn4Click();
    EXPECT_TRUE(view.LedDarkShown());
    reader->SetSilent(true);
    window->BitBtn3Click();
    EXPECT_TRUE(view.LedDarkShown());
}

TEST_F(Commands, ARepeatedReadShowsTheCodeInYellowAndTouchesNothingElse) {
    Capture("0123456789ABCD");
    window->BitBtn5Click();
    EXPECT_EQ(view.status, "0123456789AB");
    EXPECT_EQ(view.statusColor, (Rgb{255, 255, 0}));
    EXPECT_EQ(window->CaptureCounter(), 1u);
    EXPECT_EQ(ListLine(1), "");
    EXPECT_EQ(sound.plays, 1);

    reader->SetSilent(true);
    window->BitBtn5Click();
    EXPECT_EQ(view.status, "Chyba při čtení čipu");
}

TEST_F(Commands, ARepeatedReadThatCannotConvertShowsOnlyItsBox) {
    view.SetChecked(Control::CheckBox10, true);
    window->CheckBoxClick(Control::CheckBox10);
    reader->SendFrame("ZZZZZZZZZZZZZZ");
    window->Timer1Timer();  // the poll fails to convert; answer its box
    view.boxes.clear();
    view.SetStatusText("before");
    const Rgb color = view.statusColor;
    window->BitBtn5Click();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "'$ZZZZZZZZZZZZ' is not a valid integer value.");
    EXPECT_EQ(view.status, "before");
    EXPECT_EQ(view.statusColor, color);
}

TEST_F(Commands, ResetThenACaptureIsNumberOneOnLineZero) {
    Capture("00000000000001");
    Capture("00000000000002");
    window->BitBtn6Click();
    EXPECT_EQ(view[Control::Edit1].text, "0");
    EXPECT_EQ(window->Settings().StoredCounter, 0u);
    EXPECT_EQ(ListLine(1), "2       09:41:05      000000000000") << "the list keeps its text";
    Capture("00000000000003");
    EXPECT_EQ(ListLine(0), "1       09:41:05      000000000000");
}

TEST_F(Commands, TheCounterFieldSetsTheLastNumber) {
    view.SetText(Control::Edit1, "100");
    EXPECT_TRUE(window->Edit1Exit());
    EXPECT_EQ(window->Settings().StoredCounter, 100u);
    Capture("00000000000001");
    EXPECT_EQ(ListLine(0), "101       09:41:05      000000000000");
    // Leaving the untouched field again skips nothing.
    EXPECT_TRUE(window->Edit1Exit());
    Capture("00000000000002");
    EXPECT_EQ(ListLine(1), "102       09:41:05      000000000000");

    view.SetText(Control::Edit1, "-$10");
    EXPECT_TRUE(window->Edit1Exit());
    EXPECT_EQ(window->Settings().StoredCounter, 4294967280u);
    EXPECT_EQ(view[Control::Edit1].text, "-$10") << "the field keeps the text as typed";
}

TEST_F(Commands, AWrongNumberIsRefusedAndChangesNothing) {
    Capture("00000000000001");
    view.SetText(Control::Edit1, "abc");
    EXPECT_FALSE(window->Edit1Exit());
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].caption, "Error");
    EXPECT_EQ(view.boxes[0].text, "Chybný formát čísla");
    EXPECT_EQ(view[Control::Edit1].text, "abc");
    EXPECT_EQ(window->Settings().StoredCounter, 1u);
    Capture("00000000000002");
    EXPECT_EQ(ListLine(1), "2       09:41:05      000000000000");
    EXPECT_EQ(view[Control::Edit1].text, "2") << "a capture replaces the field's text";
}

TEST_F(Commands, ExitClosesThePortSavesEverythingAndClosesTheWindow) {
    Capture("00000000000001");
    view.SetChecked(Control::CheckBox6, true);
    window->CheckBoxClick(Control::CheckBox6);
    view.SetChecked(Control::CheckBox7, false);
    window->CheckBoxClick(Control::CheckBox7);
    window->BitBtn7Click();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_TRUE(view.closed);
    EXPECT_FALSE(view.timers[Timer::Timer1]);
    EXPECT_FALSE(window->Link().IsOpen());
    const ReaderSettings saved = StoredSettings();
    EXPECT_EQ(saved.PortNumber, 3);
    EXPECT_EQ(saved.StoredCounter, 1u);
    EXPECT_EQ(saved.SaveToDisk, 1);
    EXPECT_EQ(saved.SoundSignal, 0);
    EXPECT_NE(ports.Open(3, ReaderPortConfig()).line, nullptr) << "the port was released";
}

TEST_F(Commands, AFailingSaveAtExitShowsItsBoxAndStillCloses) {
    std::filesystem::remove(dir / "VM4417.INI");
    std::filesystem::create_directory(dir / "VM4417.INI");
    window->BitBtn7Click();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Chyba při ukládání parametrů");
    EXPECT_FALSE(view.boxes[0].timer1WasEnabled);
    EXPECT_TRUE(view.closed);
}

TEST_F(WindowTest, ExitWithoutAReaderShowsNoCloseError) {
    Start();
    ASSERT_FALSE(window->ReaderFound());
    window->BitBtn7Click();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_TRUE(view.closed);
}

TEST_F(WindowTest, ClosingTheWindowOtherwiseSavesNothing) {
    StoreSettings(SettingsWithPort(3));
    Start();
    view.SetChecked(Control::CheckBox6, true);
    window->CheckBoxClick(Control::CheckBox6);
    window.reset();  // the program ends without the exit button
    EXPECT_EQ(StoredSettings(), SettingsWithPort(3));
}

TEST_F(WindowTest, TheMakerButtonOpensTheInformationWindow) {
    Start();
    window->SpeedButton1Click();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].kind, FakeView::Box::Kind::MakerInformation);
}

}  // namespace
}  // namespace vm4417::test
