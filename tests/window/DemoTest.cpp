// Demo mode: invented captures every two seconds without a reader.

#include <sys/stat.h>

#include "KeyTyping.h"
#include "WindowFixture.h"

namespace vm4417::test {
namespace {

using namespace std::chrono_literals;

class Demo : public WindowTest {
protected:
    void SetUp() override {
        ReaderSettings settings = SettingsWithPort(29);
        settings.SaveToDisk = 1;
        settings.StoredCounter = 41;
        StoreSettings(settings);
        Start();
        ASSERT_FALSE(window->ReaderFound());
    }
    std::string CodeOfLine(int index) const {
        const std::string line = ListLine(index);
        return line.substr(line.rfind(' ') + 1);
    }
};

TEST_F(Demo, ALogFailureGoesAwayWithTheNextLoggedCapture) {
    const std::string log = dir / "VM06D12M.txt";
    window->BitBtn8Click();
    ASSERT_EQ(mkdir(log.c_str(), 0755), 0);
    window->Timer2Timer();
    EXPECT_EQ(view.status, "Chyba při ukládání dat");
    ASSERT_EQ(rmdir(log.c_str()), 0);
    window->Timer2Timer();
    EXPECT_EQ(view.status, "Na žádném sériovém portu nebylo identifikováno zařízení.");
}

TEST_F(Demo, TwoClicksStartAndStopIt) {
    view.SetMemoLine(0, "typed by the operator");
    window->BitBtn8Click();
    EXPECT_EQ(view[Control::BitBtn8].text, "Stop");
    EXPECT_TRUE(view.timers[Timer::Timer2]);
    EXPECT_FALSE(window->DemoIdle());
    EXPECT_TRUE(view[Control::Memo1].visible);
    EXPECT_TRUE(view.LedDarkShown());
    EXPECT_EQ(view.focus, Control::Memo1);
    EXPECT_EQ(ListLine(0), "");

    window->Timer2Timer();
    view.SetMemoLine(0, "edited");
    window->BitBtn8Click();
    EXPECT_EQ(view[Control::BitBtn8].text, "Demo");
    EXPECT_FALSE(view.timers[Timer::Timer2]);
    EXPECT_TRUE(window->DemoIdle());
    EXPECT_EQ(ListLine(0), "") << "every click empties line 0";
    EXPECT_EQ(window->ListLine(), 1) << "but keeps the list position";
}

TEST_F(Demo, CapturesContinueTheNumberingAndGoIntoTheLog) {
    window->BitBtn8Click();
    window->Timer2Timer();
    window->Timer2Timer();
    EXPECT_EQ(view[Control::Edit1].text, "43");
    EXPECT_EQ(ListLine(0).substr(0, 23), "42       09:41:05      ");
    const std::string log = ReadFileText(dir / "VM06D12M.txt");
    EXPECT_EQ(log, "42 09:41:05 " + CodeOfLine(0) + "\r\n43 09:41:05 " + CodeOfLine(1) + "\r\n");
    EXPECT_EQ(sound.plays, 2);
}

TEST_F(Demo, TheLedGoesDarkAfterHalfASecondWithoutAnyCommand) {
    window->Timer2Timer();
    EXPECT_TRUE(view.LedDarkShown());
    EXPECT_EQ(clock.sleeps.back(), 500ms);

    view.SetChecked(Control::CheckBox2, false);
    window->CheckBoxClick(Control::CheckBox2);
    window->Timer2Timer();
    EXPECT_TRUE(view.LedLitShown());
}

TEST_F(Demo, ADemoCaptureLeavesTheStatusColourAndTheRawCodeAlone) {
    view.statusColor = Rgb{1, 2, 3};
    const auto raw = window->Link().RawCodeChars();
    window->Timer2Timer();
    EXPECT_EQ(view.statusColor, (Rgb{1, 2, 3}));
    EXPECT_EQ(window->Link().RawCodeChars(), raw);
}

TEST_F(Demo, TicksGoOnWhileTheExitShowsItsBox) {
    window->BitBtn8Click();
    std::filesystem::remove(dir / "VM4417.INI");
    std::filesystem::create_directory(dir / "VM4417.INI");
    view.whileBoxOpen = [&] {
        if (view.timers[Timer::Timer2]) window->Timer2Timer();
    };
    window->BitBtn7Click();
    ASSERT_EQ(view.boxes.size(), 1u) << "only the failed save; no port was ever open";
    EXPECT_EQ(view.boxes[0].text, "Chyba při ukládání parametrů");
    EXPECT_EQ(window->CaptureCounter(), 42u);
    EXPECT_TRUE(view.closed);
}

TEST_F(Demo, TypedDemoCapturesWhenTypingIsOn) {
    view.SetChecked(Control::CheckBox1, true);
    window->CheckBoxClick(Control::CheckBox1);
    window->Timer2Timer();
    EXPECT_EQ(ListLine(0), "");
    std::string typed;
    for (const KeyEvent& e : keys.events) {
        if (!e.keyUp && e.virtualKey != vk::Shift && e.virtualKey != vk::Return)
            typed += static_cast<char>(e.virtualKey);
    }
    EXPECT_EQ(typed.size(), 8u) << "exactly the 8 digits of the demo code";
}

}  // namespace
}  // namespace vm4417::test
