#include "UiFont.h"

#include <QFontDatabase>
#include <QRawFont>

namespace vm4417::ui {
namespace {

// Every letter with a diacritic that Czech uses, both cases.
const QString& CzechLetters() {
    static const QString letters = QString::fromUtf8(
        "áčďéěíňóřšťúůýž"
        "ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ");
    return letters;
}

bool DrawsCzech(const QString& family) {
    QFont font(family);
    font.setPixelSize(11);
    // QRawFont looks at the one font file the family resolves to, without the
    // per-character fallback fonts that would hide a missing letter.
    const QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid() || raw.familyName().compare(family, Qt::CaseInsensitive) != 0) return false;
    for (const QChar letter : CzechLetters())
        if (!raw.supportsCharacter(letter)) return false;
    return true;
}

}  // namespace

QStringList UiFontCandidates() {
    // Narrow Helvetica-metric faces are the ones in which every text of the
    // main window fits its control with the styles' box and button margins;
    // the condensed face is a little too wide for a few texts but still
    // better than a regular-width one.
    return {
        QStringLiteral("Liberation Sans Narrow"),  // Debian: fonts-liberation
        QStringLiteral("Nimbus Sans Narrow"),      // Debian: fonts-urw-base35
        QStringLiteral("DejaVu Sans Condensed"),   // Debian: fonts-dejavu-extra
    };
}

QString PickUiFontFamily(const QStringList& candidates) {
    for (const QString& family : candidates)
        if (QFontDatabase::hasFamily(family) && DrawsCzech(family)) return family;
    return {};
}

QString UiFontFamily() {
    static const QString family = PickUiFontFamily(UiFontCandidates());
    return family;
}

QFont UiFont(int pixelSize, bool bold) {
    const QString sans = QStringLiteral("sans-serif");
    const QString family = UiFontFamily();
    QFont font(family.isEmpty() ? sans : family);
    font.setFamilies(family.isEmpty() ? QStringList{sans} : QStringList{family, sans});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    return font;
}

}  // namespace vm4417::ui
