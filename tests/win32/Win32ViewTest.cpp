// The Win32 main window as a view, without the logic: what the operator
// would see of its texts, list and status bar.

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "PictureArt.h"
#include "TForm1.h"
#include "WinFont.h"
#include "WindowFit.h"
#include "win32/WideText.h"

namespace vm4417::ui {
namespace {

// Pixels of the screen as the operator sees them, 0x00RRGGBB.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

Screenshot Capture(const RECT& area) {
    Screenshot shot{area.right - area.left, area.bottom - area.top, {}};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.width, shot.height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    shot.pixels.assign(first, first + shot.width * shot.height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

// Width and height of the box around every pixel of `rgb` (0 x 0: none).
template <class At>
SIZE BoundsOf(int width, int height, At at, std::uint32_t rgb) {
    int left = width, top = height, right = -1, bottom = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if ((at(x, y) & 0xFFFFFFu) != rgb) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? SIZE{0, 0} : SIZE{right - left + 1, bottom - top + 1};
}

SIZE BoundsOf(const Screenshot& shot, std::uint32_t rgb) {
    return BoundsOf(
        shot.width, shot.height,
        [&](int x, int y) { return shot.pixels[static_cast<std::size_t>(y * shot.width + x)]; },
        rgb);
}

SIZE BoundsOf(const art::Image& image, std::uint32_t rgb) {
    return BoundsOf(
        image.width, image.height, [&](int x, int y) { return image.At(x, y); }, rgb);
}

RECT ClientRectOf(HWND control, HWND window) {
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Frames enclose other controls, the LED pictures share one place by
// design, and the two hidden boxes above the buttons are never shown.
bool MayOverlap(Control id) {
    return id == Control::Bevel1 || id == Control::Bevel2 || id == Control::Bevel3 ||
           id == Control::Image2 || id == Control::CheckBox8 || id == Control::CheckBox9;
}

class Win32ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        ASSERT_TRUE(form_.Create(GetModuleHandleW(nullptr))) << GetLastError();
    }
    // Shows the window and lets it paint.
    void ShowAndPaint() {
        form_.Show(SW_SHOWNORMAL);
        SetForegroundWindow(form_.Handle());
        const ULONGLONG until = GetTickCount64() + 700;
        MSG message;
        while (GetTickCount64() < until) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            Sleep(20);
        }
    }
    win32::LockNotifications lockNotifications_;
    TForm1 form_{lockNotifications_};
};

// The scale in use is the system's (with-dpi sets it), or the largest at
// which the window fits the screen, never below the design's.
TEST_F(Win32ViewTest, AtTheScaleInUseNothingOverlapsAndAllLiesInsideTheWindowAndTheScreen) {
    const char* asked = std::getenv("VM4417_DPI");
    if (asked != nullptr) {
        EXPECT_EQ(form_.SystemDpi(), std::atoi(asked)) << "LogPixels not in use";
    }
    RecordProperty("dpi", form_.Dpi());
    std::printf("system %d dpi, window drawn at %d dpi\n", form_.SystemDpi(), form_.Dpi());
    EXPECT_LE(form_.Dpi(), form_.SystemDpi());
    EXPECT_GE(form_.Dpi(), std::min(form_.SystemDpi(), kDesignDpi));
    ShowAndPaint();

    const HWND window = form_.Handle();
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, ScaledPixels(kClientWidth, form_.Dpi()));
    EXPECT_EQ(client.bottom, ScaledPixels(kClientHeight, form_.Dpi()));
    std::vector<std::pair<std::string_view, RECT>> taken;
    for (const ControlEntry& entry : Form1Controls()) {
        SCOPED_TRACE(std::string(entry.name));
        const RECT place = ClientRectOf(form_.ControlHandle(entry.id), window);
        EXPECT_TRUE(Inside(place, client)) << "sticks out of the window";
        if (MayOverlap(entry.id)) continue;
        for (const auto& [other, rect] : taken) {
            RECT common;
            EXPECT_FALSE(IntersectRect(&common, &rect, &place)) << "overlaps " << other;
        }
        taken.emplace_back(entry.name, place);
    }
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_TRUE(Inside(frame, WorkArea(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST))))
        << "the window leaves the screen: " << frame.left << ',' << frame.top << ' ' << frame.right
        << ',' << frame.bottom;
}

// Measured on the screen: each picture as large as its art at the scale in
// use, and the lit indicator without its greyed twin beside it.
TEST_F(Win32ViewTest, PicturesOnTheScreenFollowTheScaleInUse) {
    form_.SetVisible(Control::Image2, true);
    ShowAndPaint();
    constexpr std::uint32_t kRed = 0xFF0000, kLime = 0x00FF00, kGray = 0x808080;
    const struct {
        Control control;
        art::Image cell;
        std::uint32_t colour;
    } pictures[] = {
        {Control::SpeedButton1, art::ButtonStrip(art::Glyph::MakerInfo), kRed},
        {Control::BitBtn1, art::ButtonStrip(art::Glyph::Block), kRed},
        {Control::Image2, art::LedLitStrip(), kLime},
    };
    for (const auto& picture : pictures) {
        SCOPED_TRACE(std::string(Form1Control(picture.control).name));
        RECT place;
        GetWindowRect(form_.ControlHandle(picture.control), &place);
        const Screenshot shot = Capture(place);
        const SIZE art =
            BoundsOf(picture.cell.Copy(0, 0, art::kCellSize, art::kCellSize), picture.colour);
        const SIZE seen = BoundsOf(shot, picture.colour);
        // Nearest-neighbour rounding may give the box one pixel more or less.
        EXPECT_NEAR(seen.cx, ScaledPixels(art.cx, form_.Dpi()), 1);
        EXPECT_NEAR(seen.cy, ScaledPixels(art.cy, form_.Dpi()), 1);
        if (picture.control == Control::Image2) {
            EXPECT_EQ(BoundsOf(shot, kGray).cx, 0) << "the greyed twin shows";
        }
    }
}

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

// The system menu's "Spouštět po přihlášení" shows the entry as read when
// the menu opens (a machine's entry greyed, saying who switched it on), and
// choosing it turns the entry as read then.
TEST_F(Win32ViewTest, TheSystemMenuItemShowsTheEntryEachTimeItOpens) {
    StartAtLoginMenuItem entry{"Spouštět po přihlášení", false, true};
    std::vector<bool> switched;
    form_.SetStartAtLoginItem([&] { return entry; }, [&](bool on) { switched.push_back(on); });
    const HMENU menu = GetSystemMenu(form_.Handle(), FALSE);
    constexpr UINT kItem = 0x0440;
    struct Case {
        StartAtLoginMenuItem entry;
        bool checked;
        bool greyed;
        std::vector<bool> switched;  // after choosing it
    };
    const Case cases[] = {
        {{"Spouštět po přihlášení", false, true}, false, false, {true}},
        {{"Spouštět po přihlášení", true, true}, true, false, {false}},
        {{"Spouštět po přihlášení (zapnul správce pro všechny)", true, false}, true, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry.text);
        entry = c.entry;
        switched.clear();
        SendMessageW(form_.Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu),
                     MAKELPARAM(0, TRUE));
        const UINT state = GetMenuState(menu, kItem, MF_BYCOMMAND);
        ASSERT_NE(state, static_cast<UINT>(-1));
        EXPECT_EQ((state & MF_CHECKED) != 0, c.checked);
        EXPECT_EQ((state & (MF_GRAYED | MF_DISABLED)) != 0, c.greyed);
        wchar_t text[128] = {};
        GetMenuStringW(menu, kItem, text, 128, MF_BYCOMMAND);
        EXPECT_EQ(win32::Utf8(text), c.entry.text);
        SendMessageW(form_.Handle(), WM_SYSCOMMAND, kItem, 0);
        EXPECT_EQ(switched, c.switched);
    }
}

}  // namespace
}  // namespace vm4417::ui
