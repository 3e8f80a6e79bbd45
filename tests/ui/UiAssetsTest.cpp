// Pictures, window font and maker-information window, run headless
// (QT_QPA_PLATFORM=offscreen, Qt's Fusion style). The QApplication comes
// from the shared GoogleTest main in tests/support/QtTestMain.cpp.

#include "Pictures.h"
#include "TForm2.h"
#include "UiFont.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCheckBox>
#include <QColor>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QList>
#include <QPalette>
#include <QPoint>
#include <QPushButton>
#include <QRawFont>
#include <QRect>
#include <QScreen>
#include <QSet>
#include <QSize>
#include <QString>
#include <QWidget>

#include <iterator>
#include <ostream>
#include <string>

using namespace vm4417::ui;

// Readable failure output for the Qt values compared below (found by
// argument-dependent lookup, so they live in the Qt types' namespace).
static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

static void PrintTo(const QSize& size, std::ostream* os)
{
    *os << size.width() << 'x' << size.height();
}

static void PrintTo(const QPoint& point, std::ostream* os)
{
    *os << '(' << point.x() << ',' << point.y() << ')';
}

static void PrintTo(const QColor& colour, std::ostream* os)
{
    *os << (colour.isValid() ? colour.name(QColor::HexArgb).toStdString() : std::string("invalid"));
}

static void PrintTo(const QImage& image, std::ostream* os)
{
    *os << "QImage " << image.width() << 'x' << image.height() << " format " << image.format();
}

namespace {

const QList<Glyph> kAllGlyphs = {
    Glyph::Block, Glyph::Unblock, Glyph::LedOn, Glyph::LedOff, Glyph::RepeatRead,
    Glyph::ResetNumbering, Glyph::Exit, Glyph::Demo, Glyph::MakerInfo,
};

const char* GlyphName(Glyph glyph)
{
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

const QSet<QRgb>& SixteenColours()
{
    static const QSet<QRgb> colours = {
        qRgb(0, 0, 0),     qRgb(128, 0, 0),   qRgb(0, 128, 0),     qRgb(128, 128, 0),
        qRgb(0, 0, 128),   qRgb(128, 0, 128), qRgb(0, 128, 128),   qRgb(128, 128, 128),
        qRgb(192, 192, 192), qRgb(255, 0, 0), qRgb(0, 255, 0),     qRgb(255, 255, 0),
        qRgb(0, 0, 255),   qRgb(255, 0, 255), qRgb(0, 255, 255),   qRgb(255, 255, 255),
    };
    return colours;
}

QImage Cell(const QImage& strip, int index)
{
    return strip.copy(index * kCellSize, 0, kCellSize, kCellSize);
}

int DrawnPixels(const QImage& cell)
{
    int count = 0;
    for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x)
            if (cell.pixel(x, y) != kPictureBackground)
                ++count;
    return count;
}

// Call through ASSERT_NO_FATAL_FAILURE: stops at the first wrong pixel.
void CheckStrip(const QImage& strip)
{
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

QImage ToRgb32(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

// --- Pictures -------------------------------------------------------------

TEST(Pictures, LedStripsAreTwoCellsOnOpaqueOlive)
{
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

TEST(Pictures, GlyphStripsAreTwoDifferentCells)
{
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

TEST(Pictures, ButtonIconsHaveTransparentBackground)
{
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
                ASSERT_EQ(qAlpha(normal.pixel(x, y)) == 0, background)
                    << "pixel " << x << ',' << y;
                if (!background) {
                    ASSERT_EQ(normal.pixel(x, y), strip.pixel(x, y)) << "pixel " << x << ',' << y;
                }
            }
        }
    }
}

TEST(Pictures, ProgramIconHasTheUsualSizes)
{
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
            for (int x = 0; x < size; ++x)
                opaque += qAlpha(image.pixel(x, y)) == 255 ? 1 : 0;
        ASSERT_GT(opaque, size * size / 3);
    }
}

// --- Window font ----------------------------------------------------------

TEST(UiFont, FallsBackToSansSerif)
{
    EXPECT_TRUE(PickUiFontFamily({QStringLiteral("No Such Family vm4417")}).isEmpty());
    const QFont font = UiFont(11, true);
    EXPECT_EQ(font.pixelSize(), 11);
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_TRUE(font.families().contains(QStringLiteral("sans-serif")));
    EXPECT_EQ(UiFont(13).weight(), QFont::Normal);
}

TEST(UiFont, DrawsCzech)
{
    const QString family = UiFontFamily();
    ASSERT_FALSE(family.isEmpty()) << "no narrow sans-serif installed (fonts-liberation)";
    EXPECT_EQ(QFontInfo(UiFont(11)).family(), family);
    const QRawFont raw = QRawFont::fromFont(UiFont(11));
    for (QChar letter : QString::fromUtf8("áčďéěíňóřšťúůýžÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ"))
        EXPECT_TRUE(raw.supportsCharacter(letter)) << QString(letter).toStdString();
}

// --- Main window texts in the window font ---------------------------------

namespace {

enum class Control { Check, GlyphButton, Label };

struct ControlText {
    Control control;
    const char* text;  // UTF-8
    int width;         // the control's width in the main window
};

void PrintTo(const ControlText& row, std::ostream* os)
{
    *os << '"' << row.text << "\" in " << row.width << " px";
}

const ControlText kMainWindowTexts[] = {
    {Control::Check, "Kód čipu do klávesnice", 149},
    {Control::Check, "Pořadí do klávesnice", 141},
    {Control::Check, "Čas do klávesnice", 141},
    {Control::Check, "Zvukový signál", 97},
    {Control::Check, "Zhasnutí LED po přijetí kódu", 165},
    {Control::Check, "Ukládat na disk", 97},
    {Control::Check, "Minimalizovat po spuštění", 153},
    {Control::Check, "Dekadický kód", 97},
    {Control::Check, "CRC", 97},
    {Control::Check, "Family", 97},
    {Control::GlyphButton, "Zablokování", 137},
    {Control::GlyphButton, "Odblokování", 137},
    {Control::GlyphButton, "Rozsviť LED", 137},
    {Control::GlyphButton, "Zhasni LED", 137},
    {Control::GlyphButton, "Opakované čtení čipu", 137},
    {Control::GlyphButton, "Nuluj pořadí", 97},
    {Control::GlyphButton, "Demo", 75},
    {Control::GlyphButton, "Stop", 75},
    {Control::GlyphButton, "Konec programu", 105},
    {Control::Label, "Pořadí", 32},
    {Control::Label, "Čas", 18},
    {Control::Label, "Kód čipu", 42},
    {Control::Label, "Ovládací tlačítka", 81},
    {Control::Label, "Přesměrování", 66},
    {Control::Label, "Parametry", 47},
    {Control::Label, "Pořadí:", 35},
};

// Test name from the row: control kind plus the text without diacritics,
// every other run of non-alphanumerics turned into one underscore.
std::string RowName(const testing::TestParamInfo<ControlText>& info)
{
    std::string name = info.param.control == Control::Check         ? "check_"
                       : info.param.control == Control::GlyphButton ? "button_"
                                                                     : "label_";
    const QString plain = QString::fromUtf8(info.param.text).normalized(QString::NormalizationForm_D);
    for (QChar c : plain) {
        if (c.isMark())
            continue;
        if (c.unicode() < 128 && c.isLetterOrNumber())
            name += c.toLatin1();
        else if (name.back() != '_')
            name += '_';
    }
    return name;
}

class UiFontFitsControls : public testing::TestWithParam<ControlText> {};

}  // namespace

TEST_P(UiFontFitsControls, TextFitsItsControl)
{
    const QString text = QString::fromUtf8(GetParam().text);
    const int width = GetParam().width;
    const QFont font = UiFont(11);
    const QFontMetrics metrics(font);
    int needed = 0;
    switch (GetParam().control) {
    case Control::Check: {
        QCheckBox box(text);
        box.setFont(font);
        needed = box.sizeHint().width();
        break;
    }
    case Control::Label: {
        QLabel label(text);
        label.setFont(font);
        needed = label.sizeHint().width();
        break;
    }
    case Control::GlyphButton: {
        // The style's margins and the glyph, measured on a long text so
        // that the style's minimum button width does not count.
        const QString longText = QStringLiteral("a long enough button text");
        QPushButton button(ButtonIcon(Glyph::Demo), longText);
        button.setFont(font);
        needed = metrics.horizontalAdvance(text) + button.sizeHint().width() -
                 metrics.horizontalAdvance(longText);
        break;
    }
    }
    EXPECT_LE(needed, width) << text.toStdString() << " needs " << needed << " px, has " << width;
}

INSTANTIATE_TEST_SUITE_P(MainWindow, UiFontFitsControls, testing::ValuesIn(kMainWindowTexts),
                         RowName);

// --- Maker-information window ---------------------------------------------

TEST(TForm2, LabelsShowTheMakerDetails)
{
    TForm2 form;
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Informace o výrobci"));
    EXPECT_EQ(form.size(), QSize(306, 238));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(form.windowIcon().isNull());

    const struct {
        const char* name;
        QPoint pos;
        const char* text;
        bool bold;
        QColor colour;  // invalid: the palette's window text
    } expected[] = {
        {"Label1", {40, 16}, "Výrobu a úpravy programu provádí:", false, QColor(0, 0, 255)},
        {"Label2", {68, 52}, "vm4417", true, QColor()},
        {"Label3", {100, 80}, "–", true, QColor()},
        {"Label4", {64, 108}, "–", true, QColor()},
        {"Label6", {72, 140}, "Telefon: –", false, QColor(0, 128, 0)},
        {"Label7", {64, 168}, "Email: –", false, QColor(255, 0, 0)},
        {"Label8", {72, 196}, "Internet: –", false, QColor(255, 0, 0)},
    };
    const QList<QLabel*> all = form.findChildren<QLabel*>();
    ASSERT_EQ(all.size(), static_cast<qsizetype>(std::size(expected)));
    QList<QRect> taken;
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        auto* label = form.findChild<QLabel*>(QString::fromLatin1(e.name));
        ASSERT_NE(label, nullptr) << e.name;
        EXPECT_EQ(label->pos(), e.pos);
        EXPECT_EQ(label->text(), QString::fromUtf8(e.text));
        EXPECT_EQ(label->font().pixelSize(), 13);
        EXPECT_EQ(label->font().bold(), e.bold);
        EXPECT_EQ(label->size(), label->sizeHint());
        EXPECT_EQ(label->foregroundRole(), QPalette::WindowText);
        const QColor shown = label->palette().color(QPalette::WindowText);
        EXPECT_EQ(shown, e.colour.isValid() ? e.colour : form.palette().color(QPalette::WindowText));
        EXPECT_TRUE(QRect(QPoint(0, 0), form.size()).contains(label->geometry()))
            << "sticks out of the window";
        for (const QRect& other : taken)
            EXPECT_FALSE(other.intersects(label->geometry())) << "overlaps another label";
        taken << label->geometry();
    }
}

TEST(TForm2, IsCentredOnTheScreenNotOnItsOwner)
{
    QWidget owner;
    owner.setGeometry(10, 10, 200, 150);
    TForm2 form(&owner);
    const QRect area = owner.screen()->availableGeometry();
    EXPECT_EQ(form.pos(), QPoint(area.x() + (area.width() - 314) / 2,
                                 area.y() + (area.height() - 265) / 2));
    EXPECT_EQ(form.parentWidget(), &owner);
}
