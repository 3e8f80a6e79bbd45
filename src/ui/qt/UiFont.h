#pragma once
// The windows' font. The window layouts are fixed pixel geometry made for a
// small 8-point sans-serif; the Czech texts only fit their controls in a
// narrow sans-serif family, so one is picked from what is installed.

#include <QFont>
#include <QString>
#include <QStringList>

namespace vm4417::ui {

// Families tried in order: the first one installed that has every Czech
// letter wins. When none is, UiFontFamily() is empty and UiFont falls back to
// fontconfig's "sans-serif".
QStringList UiFontCandidates();

// The family UiFont uses (decided once per process; needs a
// QGuiApplication). Empty when it uses the generic sans-serif.
QString UiFontFamily();

// The first of `candidates` that is installed and can draw all Czech letters,
// or an empty string. Separate from UiFontFamily so the choice can be tested
// with made-up candidate lists.
QString PickUiFontFamily(const QStringList& candidates);

// Sans-serif window font at `pixelSize` pixels (the main window uses 11, the
// maker window 13).
QFont UiFont(int pixelSize, bool bold = false);

}  // namespace vm4417::ui
