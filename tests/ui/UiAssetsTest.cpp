// Pictures, window font and the windows' layout, run headless
// (QT_QPA_PLATFORM=offscreen, Qt's Fusion style). The QApplication comes
// from the shared GoogleTest main in tests/support/QtTestMain.cpp.

#include "Form1Layout.h"
#include "Form2Layout.h"
#include "Pictures.h"
#include "TForm1.h"
#include "TForm2.h"
#include "Texts.h"
#include "UiFont.h"
#include "WindowScale.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCheckBox>
#include <QColor>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QList>
#include <QPair>
#include <QPalette>
#include <QPoint>
#include <QPushButton>
#include <QRawFont>
#include <QRect>
#include <QScreen>
#include <QSet>
#include <QSize>
#include <QString>
#include <QTest>
#include <QWidget>

#include <cstdio>
#include <iterator>
#include <ostream>
#include <string>

using namespace vm4417::ui;

// Readable failure output for the Qt values compared below (found by
// argument-dependent lookup, so they live in the Qt types' namespace).
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

static void PrintTo(const QSize& size, std::ostream* os) {
    *os << size.width() << 'x' << size.height();
}

static void PrintTo(const QPoint& point, std::ostream* os) {
    *os << '(' << point.x() << ',' << point.y() << ')';
}

static void PrintTo(const QImage& image, std::ostream* os) {
    *os << "QImage " << image.width() << 'x' << image.height() << " format " << image.format();
}

namespace {

const QList<Glyph> kAllGlyphs = {
    Glyph::Block,          Glyph::Unblock, Glyph::LedOn, Glyph::LedOff,    Glyph::RepeatRead,
    Glyph::ResetNumbering, Glyph::Exit,    Glyph::Demo,  Glyph::MakerInfo,
};

const char* GlyphName(Glyph glyph) {
    switch (glyph) {
        case Glyph::Block: return "Block";
        case Glyph::Unblock: return "Unblock";
        case Glyph::LedOn: return "LedOn";
        case Glyph::LedOff: return "LedOff";
        case Glyph::RepeatRead: return "RepeatRead";
        case Glyph::ResetNumbering: return "ResetNumbering";
        case Glyph::Exit: return "Exit";
        case Glyph::Demo: return "Demo";
        case Glyph::MakerInfo: return "MakerInfo";
    }
    return "?";
}

const QSet<QRgb>& SixteenColours() {
    static const QSet<QRgb> colours = {
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(128, 128, 128),
        qRgb(192, 192, 192), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
    };
    return colours;
}

QImage Cell(const QImage& strip, int index) {
    return strip.copy(index * kCellSize, 0, kCellSize, kCellSize);
}

int DrawnPixels(const QImage& cell) {
    int count = 0;
    for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x)
            if (cell.pixel(x, y) != kPictureBackground) ++count;
    return count;
}

// Call through ASSERT_NO_FATAL_FAILURE: stops at the first wrong pixel.
void CheckStrip(const QImage& strip) {
    ASSERT_EQ(strip.size(), QSize(2 * kCellSize, kCellSize));
    ASSERT_FALSE(strip.hasAlphaChannel());
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x)
            ASSERT_TRUE(SixteenColours().contains(strip.pixel(x, y) | 0xff000000u))
                << "pixel " << x << ',' << y << " outside the 16 colours";
    ASSERT_GT(DrawnPixels(Cell(strip, 0)), 20);
    ASSERT_GT(DrawnPixels(Cell(strip, 1)), 20);
    ASSERT_NE(Cell(strip, 0), Cell(strip, 1));
}

QImage ToRgb32(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

// --- Pictures -------------------------------------------------------------

TEST(Pictures, LedStripsAreTwoCellsOnOpaqueOlive) {
    const struct {
        const char* name;
        QImage strip;
    } strips[] = {{"dark", LedDarkImage()}, {"lit", LedLitImage()}};
    for (const auto& [name, strip] : strips) {
        SCOPED_TRACE(name);
        ASSERT_NO_FATAL_FAILURE(CheckStrip(strip));
        ASSERT_EQ(strip.pixel(0, 0), kPictureBackground);
        // The 17-pixel control also shows the second cell's first column;
        // it must be plain background, not a cut-off piece of the LED.
        for (int y = 0; y < kCellSize; ++y)
            ASSERT_EQ(strip.pixel(kCellSize, y), kPictureBackground) << "row " << y;
    }
    EXPECT_NE(Cell(LedDarkImage(), 0), Cell(LedLitImage(), 0));
    EXPECT_EQ(LedDarkPicture().size(), QSize(32, 16));
    EXPECT_EQ(ToRgb32(LedLitPicture()), LedLitImage());
}

TEST(Pictures, GlyphStripsAreTwoDifferentCells) {
    QSet<QByteArray> seen;
    for (Glyph glyph : kAllGlyphs) {
        SCOPED_TRACE(GlyphName(glyph));
        const QImage strip = GlyphStripImage(glyph);
        ASSERT_NO_FATAL_FAILURE(CheckStrip(strip));
        const QImage normal = Cell(strip, 0);
        seen.insert(QByteArray(reinterpret_cast<const char*>(normal.constBits()),
                               static_cast<int>(normal.sizeInBytes())));
        ASSERT_EQ(GlyphStrip(glyph).size(), QSize(32, 16));
    }
    EXPECT_EQ(seen.size(), kAllGlyphs.size()) << "no two buttons may look alike";
    EXPECT_EQ(GlyphStripImage(Glyph::LedOn), LedLitImage());
    EXPECT_EQ(GlyphStripImage(Glyph::LedOff), LedDarkImage());
}

TEST(Pictures, ButtonIconsHaveTransparentBackground) {
    for (Glyph glyph : kAllGlyphs) {
        SCOPED_TRACE(GlyphName(glyph));
        const QIcon icon = ButtonIcon(glyph);
        const QImage normal = icon.pixmap(16, 16, QIcon::Normal).toImage();
        const QImage disabled = icon.pixmap(16, 16, QIcon::Disabled).toImage();
        ASSERT_EQ(normal.size(), QSize(16, 16));
        ASSERT_EQ(disabled.size(), QSize(16, 16));
        ASSERT_EQ(qAlpha(normal.pixel(0, 0)), 0) << "every glyph leaves this corner empty";
        ASSERT_NE(normal, disabled);
        const QImage strip = GlyphStripImage(glyph);
        for (int y = 0; y < kCellSize; ++y) {
            for (int x = 0; x < kCellSize; ++x) {
                const bool background = strip.pixel(x, y) == kPictureBackground;
                ASSERT_EQ(qAlpha(normal.pixel(x, y)) == 0, background) << "pixel " << x << ',' << y;
                if (!background) {
                    ASSERT_EQ(normal.pixel(x, y), strip.pixel(x, y)) << "pixel " << x << ',' << y;
                }
            }
        }
    }
}

TEST(Pictures, ProgramIconHasTheUsualSizes) {
    const QIcon icon = ProgramIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (int size : {16, 32, 48}) {
        SCOPED_TRACE(testing::Message() << size << " px");
        ASSERT_TRUE(sizes.contains(QSize(size, size)));
        const QImage image = ProgramIconImage(size);
        ASSERT_EQ(image.size(), QSize(size, size));
        ASSERT_EQ(qAlpha(image.pixel(0, 0)), 0);
        int opaque = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) opaque += qAlpha(image.pixel(x, y)) == 255 ? 1 : 0;
        ASSERT_GT(opaque, size * size / 3);
    }
}

// --- Window font ----------------------------------------------------------

TEST(UiFont, FallsBackToSansSerif) {
    EXPECT_TRUE(PickUiFontFamily({QStringLiteral("No Such Family vm4417")}).isEmpty());
    const QFont font = UiFont(11, true);
    EXPECT_EQ(font.pixelSize(), 11);
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_TRUE(font.families().contains(QStringLiteral("sans-serif")));
    EXPECT_EQ(UiFont(13).weight(), QFont::Normal);
}

TEST(UiFont, DrawsCzech) {
    const QString family = UiFontFamily();
    ASSERT_FALSE(family.isEmpty()) << "no narrow sans-serif installed (fonts-liberation)";
    EXPECT_EQ(QFontInfo(UiFont(11)).family(), family);
    const QRawFont raw = QRawFont::fromFont(UiFont(11));
    for (QChar letter : QString::fromUtf8("áčďéěíňóřšťúůýžÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ"))
        EXPECT_TRUE(raw.supportsCharacter(letter)) << QString(letter).toStdString();
}

// --- What the operator sees of the windows' layout ----------------------

namespace {

// The width a control needs for its text in the window font. A button's is
// measured on a long text, so that the style's minimum button width does
// not hide a text that would be cut.
int NeededWidth(QWidget* widget) {
    auto* button = qobject_cast<QPushButton*>(widget);
    if (!button) return widget->sizeHint().width();
    const QString longText = QStringLiteral("a long enough button text");
    QPushButton probe(button->icon(), longText);
    probe.setFont(button->font());
    const QFontMetrics metrics(button->font());
    return metrics.horizontalAdvance(button->text()) + probe.sizeHint().width() -
           metrics.horizontalAdvance(longText);
}

// Frames enclose other controls, the LED pictures share one place by design,
// and the two hidden boxes above the buttons are never shown.
bool MayOverlap(vm4417::Control id) {
    using vm4417::Control;
    return id == Control::Bevel1 || id == Control::Bevel2 || id == Control::Bevel3 ||
           id == Control::Image2 || id == Control::CheckBox8 || id == Control::CheckBox9;
}

}  // namespace

TEST(MainWindowLayout, EveryTextFitsNothingOverlapsEverythingInside) {
    TForm1 form;
    form.show();  // the status bar takes its place along the bottom when shown
    const QRect client(QPoint(0, 0), form.size());
    QList<QPair<QString, QRect>> taken;
    for (const vm4417::ControlEntry& entry : vm4417::Form1Controls()) {
        const QString name = QString::fromLatin1(entry.name.data(), entry.name.size());
        SCOPED_TRACE(name.toStdString());
        QWidget* widget = form.Widget(entry.id);
        const QRect place = widget->geometry();
        EXPECT_TRUE(client.contains(place)) << "sticks out of the window";
        if (!entry.text.empty() && entry.kind != vm4417::ControlKind::Edit &&
            entry.kind != vm4417::ControlKind::StatusBar) {
            EXPECT_LE(NeededWidth(widget), place.width()) << "the text is cut";
        }
        if (MayOverlap(entry.id)) continue;
        for (const auto& [other, rect] : taken)
            EXPECT_FALSE(rect.intersects(place)) << "overlaps " << other.toStdString();
        taken.append({name, place});
    }
    // The demo button's other text must fit as well.
    form.SetText(vm4417::Control::BitBtn8, std::string(vm4417::text::kStop));
    QWidget* demo = form.Widget(vm4417::Control::BitBtn8);
    EXPECT_LE(NeededWidth(demo), demo->width());
}

// The box around every pixel of `rgb` (0 x 0: none).
QSize BoundsOf(const QImage& image, QRgb rgb) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFFu) == (rgb & 0xFFFFFFu)) box |= QRect(x, y, 1, 1);
    return box.size();
}

// Measured on the screen: the window inside the available area, drawn at
// 100 % or more, its pictures as large as their art at the scale in use and
// the lit indicator without its greyed twin.
TEST(MainWindowOnScreen, LiesInsideTheScreenWithItsPicturesAtItsScale) {
    TForm1 form;
    form.SetVisible(vm4417::Control::Image2, true);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(200);
    QScreen* screen = form.screen();
    const qreal ratio = screen->devicePixelRatio();
    const int dpi = qRound(96 * ratio);
    std::printf("screen %dx%d, drawn at %d dpi\n", screen->geometry().width(),
                screen->geometry().height(), dpi);
    EXPECT_GE(dpi, 96);
    EXPECT_TRUE(screen->availableGeometry().contains(form.frameGeometry()));
    const struct {
        vm4417::Control control;
        Glyph glyph;
        QRgb colour;
    } pictures[] = {
        {vm4417::Control::SpeedButton1, Glyph::MakerInfo, qRgb(255, 0, 0)},
        {vm4417::Control::BitBtn1, Glyph::Block, qRgb(255, 0, 0)},
        {vm4417::Control::Image2, Glyph::LedOn, qRgb(0, 255, 0)},
    };
    for (const auto& picture : pictures) {
        const QWidget* widget = form.Widget(picture.control);
        SCOPED_TRACE(widget->objectName().toStdString());
        const QImage shot = screen
                                ->grabWindow(form.winId(), widget->x(), widget->y(),
                                             widget->width(), widget->height())
                                .toImage();
        const QSize art = BoundsOf(GlyphStripImage(picture.glyph).copy(0, 0, kCellSize, kCellSize),
                                   picture.colour);
        const QSize seen = BoundsOf(shot, picture.colour);
        EXPECT_NEAR(seen.width(), vm4417::ScaledPixels(art.width(), dpi), 1);
        EXPECT_NEAR(seen.height(), vm4417::ScaledPixels(art.height(), dpi), 1);
        if (picture.control == vm4417::Control::Image2) {
            EXPECT_EQ(BoundsOf(shot, qRgb(128, 128, 128)), QSize(0, 0)) << "the greyed twin shows";
        }
    }
}

TEST(TForm2, EveryLabelShowsItsWholeTextInsideTheWindowWithoutOverlap) {
    TForm2 form;
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Informace o výrobci"));
    EXPECT_FALSE(form.windowIcon().isNull());
    const QRect client(QPoint(0, 0), form.size());
    QList<QRect> taken;
    for (const vm4417::LabelEntry& entry : vm4417::Form2Labels()) {
        SCOPED_TRACE(std::string(entry.name));
        auto* label =
            form.findChild<QLabel*>(QString::fromLatin1(entry.name.data(), entry.name.size()));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::fromStdString(entry.text));
        EXPECT_GE(label->width(), label->sizeHint().width()) << "the text is cut";
        EXPECT_TRUE(client.contains(label->geometry())) << "sticks out of the window";
        for (const QRect& other : taken)
            EXPECT_FALSE(other.intersects(label->geometry())) << "overlaps another label";
        taken << label->geometry();
    }
}

TEST(TForm2, IsCentredOnTheScreenNotOnItsOwner) {
    QWidget owner;
    owner.setGeometry(10, 10, 200, 150);
    TForm2 form(&owner);
    const QRect area = owner.screen()->availableGeometry();
    EXPECT_EQ(form.pos(),
              QPoint(area.x() + (area.width() - 314) / 2, area.y() + (area.height() - 265) / 2));
    EXPECT_EQ(form.parentWidget(), &owner);
}
