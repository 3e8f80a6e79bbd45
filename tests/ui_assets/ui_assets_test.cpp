// Pictures, window font and maker-information window, run headless
// (QT_QPA_PLATFORM=offscreen, Qt's Fusion style).

#include "Pictures.h"
#include "TForm2.h"
#include "UiFont.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRawFont>
#include <QScreen>
#include <QSet>
#include <QtTest>

using namespace vm4417::ui;

namespace {

const QList<Glyph> kAllGlyphs = {
    Glyph::Block, Glyph::Unblock, Glyph::LedOn, Glyph::LedOff, Glyph::RepeatRead,
    Glyph::ResetNumbering, Glyph::Exit, Glyph::Demo, Glyph::MakerInfo,
};

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

void CheckStrip(const QImage& strip)
{
    QCOMPARE(strip.size(), QSize(2 * kCellSize, kCellSize));
    QVERIFY(!strip.hasAlphaChannel());
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x)
            QVERIFY2(SixteenColours().contains(strip.pixel(x, y) | 0xff000000u),
                     qPrintable(QString("pixel %1,%2 outside the 16 colours").arg(x).arg(y)));
    QVERIFY(DrawnPixels(Cell(strip, 0)) > 20);
    QVERIFY(DrawnPixels(Cell(strip, 1)) > 20);
    QVERIFY(Cell(strip, 0) != Cell(strip, 1));
}

QImage ToRgb32(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class UiAssetsTest : public QObject {
    Q_OBJECT

private slots:
    void ledStripsAreTwoCellsOnOpaqueOlive()
    {
        for (const QImage& strip : {LedDarkImage(), LedLitImage()}) {
            CheckStrip(strip);
            QCOMPARE(strip.pixel(0, 0), kPictureBackground);
            // The 17-pixel control also shows the second cell's first column;
            // it must be plain background, not a cut-off piece of the LED.
            for (int y = 0; y < kCellSize; ++y)
                QCOMPARE(strip.pixel(kCellSize, y), kPictureBackground);
        }
        QVERIFY(Cell(LedDarkImage(), 0) != Cell(LedLitImage(), 0));
        QCOMPARE(LedDarkPicture().size(), QSize(32, 16));
        QCOMPARE(ToRgb32(LedLitPicture()), LedLitImage());
    }

    void glyphStripsAreTwoDifferentCells()
    {
        QSet<QByteArray> seen;
        for (Glyph glyph : kAllGlyphs) {
            const QImage strip = GlyphStripImage(glyph);
            CheckStrip(strip);
            const QImage normal = Cell(strip, 0);
            seen.insert(QByteArray(reinterpret_cast<const char*>(normal.constBits()),
                                   static_cast<int>(normal.sizeInBytes())));
            QCOMPARE(GlyphStrip(glyph).size(), QSize(32, 16));
        }
        QCOMPARE(seen.size(), kAllGlyphs.size());  // no two buttons look alike
        QCOMPARE(GlyphStripImage(Glyph::LedOn), LedLitImage());
        QCOMPARE(GlyphStripImage(Glyph::LedOff), LedDarkImage());
    }

    void buttonIconsHaveTransparentBackground()
    {
        for (Glyph glyph : kAllGlyphs) {
            const QIcon icon = ButtonIcon(glyph);
            const QImage normal = icon.pixmap(16, 16, QIcon::Normal).toImage();
            const QImage disabled = icon.pixmap(16, 16, QIcon::Disabled).toImage();
            QCOMPARE(normal.size(), QSize(16, 16));
            QCOMPARE(disabled.size(), QSize(16, 16));
            QCOMPARE(qAlpha(normal.pixel(0, 0)), 0);  // every glyph leaves this corner empty
            QVERIFY(normal != disabled);
            const QImage strip = GlyphStripImage(glyph);
            for (int y = 0; y < kCellSize; ++y) {
                for (int x = 0; x < kCellSize; ++x) {
                    const bool background = strip.pixel(x, y) == kPictureBackground;
                    QCOMPARE(qAlpha(normal.pixel(x, y)) == 0, background);
                    if (!background)
                        QCOMPARE(normal.pixel(x, y), strip.pixel(x, y));
                }
            }
        }
    }

    void programIconHasTheUsualSizes()
    {
        const QIcon icon = ProgramIcon();
        const QList<QSize> sizes = icon.availableSizes();
        for (int size : {16, 32, 48}) {
            QVERIFY(sizes.contains(QSize(size, size)));
            const QImage image = ProgramIconImage(size);
            QCOMPARE(image.size(), QSize(size, size));
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
            int opaque = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    opaque += qAlpha(image.pixel(x, y)) == 255 ? 1 : 0;
            QVERIFY(opaque > size * size / 3);
        }
    }

    void uiFontFallsBackToSansSerif()
    {
        QVERIFY(PickUiFontFamily({QStringLiteral("No Such Family vm4417")}).isEmpty());
        const QFont font = UiFont(11, true);
        QCOMPARE(font.pixelSize(), 11);
        QCOMPARE(font.weight(), QFont::Bold);
        QVERIFY(font.families().contains(QStringLiteral("sans-serif")));
        QCOMPARE(UiFont(13).weight(), QFont::Normal);
    }

    void uiFontDrawsCzech()
    {
        const QString family = UiFontFamily();
        QVERIFY2(!family.isEmpty(), "no narrow sans-serif installed (fonts-liberation)");
        QCOMPARE(QFontInfo(UiFont(11)).family(), family);
        const QRawFont raw = QRawFont::fromFont(UiFont(11));
        for (QChar letter : QString::fromUtf8("áčďéěíňóřšťúůýžÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ"))
            QVERIFY2(raw.supportsCharacter(letter), qPrintable(QString(letter)));
    }

    void mainWindowTextsFitTheirControls_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        const struct {
            const char* kind;
            const char* text;
            int width;
        } rows[] = {
            {"check", "Kód čipu do klávesnice", 149},
            {"check", "Pořadí do klávesnice", 141},
            {"check", "Čas do klávesnice", 141},
            {"check", "Zvukový signál", 97},
            {"check", "Zhasnutí LED po přijetí kódu", 165},
            {"check", "Ukládat na disk", 97},
            {"check", "Minimalizovat po spuštění", 153},
            {"check", "Dekadický kód", 97},
            {"check", "CRC", 97},
            {"check", "Family", 97},
            {"glyph button", "Zablokování", 137},
            {"glyph button", "Odblokování", 137},
            {"glyph button", "Rozsviť LED", 137},
            {"glyph button", "Zhasni LED", 137},
            {"glyph button", "Opakované čtení čipu", 137},
            {"glyph button", "Nuluj pořadí", 97},
            {"glyph button", "Demo", 75},
            {"glyph button", "Stop", 75},
            {"glyph button", "Konec programu", 105},
            {"label", "Pořadí", 32},
            {"label", "Čas", 18},
            {"label", "Kód čipu", 42},
            {"label", "Ovládací tlačítka", 81},
            {"label", "Přesměrování", 66},
            {"label", "Parametry", 47},
            {"label", "Pořadí:", 35},
        };
        for (const auto& row : rows)
            QTest::newRow(row.text) << QString::fromLatin1(row.kind) << QString::fromUtf8(row.text)
                                    << row.width;
    }

    void mainWindowTextsFitTheirControls()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(int, width);
        const QFont font = UiFont(11);
        const QFontMetrics metrics(font);
        int needed = 0;
        if (kind == "check") {
            QCheckBox box(text);
            box.setFont(font);
            needed = box.sizeHint().width();
        } else if (kind == "label") {
            QLabel label(text);
            label.setFont(font);
            needed = label.sizeHint().width();
        } else {
            // The style's margins and the glyph, measured on a long text so
            // that the style's minimum button width does not count.
            const QString longText = QStringLiteral("a long enough button text");
            QPushButton button(ButtonIcon(Glyph::Demo), longText);
            button.setFont(font);
            needed = metrics.horizontalAdvance(text) + button.sizeHint().width() -
                     metrics.horizontalAdvance(longText);
        }
        QVERIFY2(needed <= width,
                 qPrintable(QString("%1 needs %2 px, has %3").arg(text).arg(needed).arg(width)));
    }

    void makerWindowLabels()
    {
        TForm2 form;
        QCOMPARE(form.windowTitle(), QString::fromUtf8("Informace o výrobci"));
        QCOMPARE(form.size(), QSize(306, 238));
        const Qt::WindowFlags flags = form.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(!form.windowIcon().isNull());

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
        QCOMPARE(all.size(), int(std::size(expected)));
        QList<QRect> taken;
        for (const auto& e : expected) {
            auto* label = form.findChild<QLabel*>(QString::fromLatin1(e.name));
            QVERIFY2(label, e.name);
            QCOMPARE(label->pos(), e.pos);
            QCOMPARE(label->text(), QString::fromUtf8(e.text));
            QCOMPARE(label->font().pixelSize(), 13);
            QCOMPARE(label->font().bold(), e.bold);
            QCOMPARE(label->size(), label->sizeHint());
            QCOMPARE(label->foregroundRole(), QPalette::WindowText);
            const QColor shown = label->palette().color(QPalette::WindowText);
            QCOMPARE(shown, e.colour.isValid() ? e.colour : form.palette().color(QPalette::WindowText));
            QVERIFY(QRect(QPoint(0, 0), form.size()).contains(label->geometry()));
            for (const QRect& other : taken)
                QVERIFY(!other.intersects(label->geometry()));
            taken << label->geometry();
        }
    }

    void makerWindowIsCentredOnTheScreenNotOnItsOwner()
    {
        QWidget owner;
        owner.setGeometry(10, 10, 200, 150);
        TForm2 form(&owner);
        const QRect area = owner.screen()->availableGeometry();
        QCOMPARE(form.pos(), QPoint(area.x() + (area.width() - 314) / 2,
                                    area.y() + (area.height() - 265) / 2));
        QCOMPARE(form.parentWidget(), &owner);
    }
};

QTEST_MAIN(UiAssetsTest)
#include "ui_assets_test.moc"
