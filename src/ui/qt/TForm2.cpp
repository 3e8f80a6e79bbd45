#include "TForm2.h"

#include "Pictures.h"
#include "UiFont.h"

#include <QColor>
#include <QLabel>
#include <QPalette>

#include "Texts.h"
#include "WindowPlacement.h"

namespace vm4417::ui {

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(text::kMakerCaption.data(), text::kMakerCaption.size()));
    setWindowIcon(ProgramIcon());
    // A normal sizeable window with system menu, minimise and maximise
    // boxes, unlike Qt's default dialog decoration.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);

    // Button-face background for the client area; the labels do not fill
    // their own background, so it shows through them.
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    resize(kClientSize);
    for (const LabelEntry& entry : Form2Labels()) AddLabel(entry);

    // Centred on the screen, not on the owner. Moving the window here also
    // stops QDialog from centring it on its parent when it is shown.
    CentreOnScreen(this, kOuterSize);
}

QLabel* TForm2::AddLabel(const LabelEntry& entry) {
    auto* label = new QLabel(QString::fromStdString(entry.text), this);
    label->setObjectName(QString::fromLatin1(entry.name.data(), entry.name.size()));
    label->setFont(UiFont(kForm2LabelPixelSize, entry.bold));
    // On the button-face background Qt would draw the text in the button-text
    // role; the labels use the window-text role, coloured per label.
    label->setForegroundRole(QPalette::WindowText);
    if (entry.colour) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText,
                         QColor(entry.colour->red, entry.colour->green, entry.colour->blue));
        label->setPalette(palette);
    }
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->move(entry.left, entry.top);
    label->adjustSize();  // sized to its text
    return label;
}

}  // namespace vm4417::ui
