// The Win32 main window as a view, without the logic: what the operator
// would see of its texts, list and status bar.

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include "TForm1.h"
#include "WinFont.h"

namespace vm4417::ui {
namespace {

class Win32ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        ASSERT_TRUE(form_.Create(GetModuleHandleW(nullptr))) << GetLastError();
    }
    TForm1 form_;
};

TEST_F(Win32ViewTest, EveryTextFitsItsControlInAFaceWithCzechLetters) {
    EXPECT_TRUE(form_.TextsThatDoNotFit().empty())
        << "first: " << (form_.TextsThatDoNotFit().empty() ? "" : form_.TextsThatDoNotFit()[0]);
    HDC dc = GetDC(form_.Handle());
    HFONT font = CreateUiFont(form_.FontFace(), FontHeight(8, 96));
    EXPECT_TRUE(DrawsCzech(dc, font));
    DeleteObject(font);
    ReleaseDC(form_.Handle(), dc);
    RecordProperty("font", std::string(form_.FontFace().begin(), form_.FontFace().end()));
}

TEST_F(Win32ViewTest, TheListHas31LinesAndIgnoresLinesBeyond) {
    form_.SetMemoLine(0, "1       09:41:05      00000A1B2C3D");
    form_.SetMemoLine(30, "31");
    form_.SetMemoLine(31, "nowhere");
    EXPECT_EQ(form_.MemoLine(0), "1       09:41:05      00000A1B2C3D");
    EXPECT_EQ(form_.MemoLine(1), "");
    EXPECT_EQ(form_.MemoLine(30), "31");
    EXPECT_EQ(form_.MemoLine(31), "");
    form_.SetMemoLine(0, "");
    EXPECT_EQ(form_.MemoLine(0), "");
    EXPECT_EQ(form_.MemoLine(30), "31");
}

TEST_F(Win32ViewTest, ControlsKeepTheirStateAndTextsAsSet) {
    form_.SetStatusColor(Rgb{255, 255, 0});
    EXPECT_EQ(form_.StatusColor(), (Rgb{255, 255, 0}));
    form_.SetText(Control::Edit1, "Čtyři 4");
    EXPECT_EQ(form_.Text(Control::Edit1), "Čtyři 4");
    form_.SetChecked(Control::CheckBox10, true);
    EXPECT_TRUE(form_.IsChecked(Control::CheckBox10));
    EXPECT_TRUE(form_.IsChecked(Control::CheckBox1));
    form_.SetCaption("Čtečka čipů VELM1234");
    EXPECT_EQ(form_.Caption(), "Čtečka čipů VELM1234");
    form_.SetTimerEnabled(Timer::Timer2, true);
    EXPECT_TRUE(form_.IsTimerEnabled(Timer::Timer2));
    EXPECT_FALSE(form_.IsTimerEnabled(Timer::Timer1));
}

}  // namespace
}  // namespace vm4417::ui
