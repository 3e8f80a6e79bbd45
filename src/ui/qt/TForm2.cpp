#include "TForm2.h"

#include "Pictures.h"
#include "UiFont.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QScreen>

namespace vm4417::ui {
namespace {

// The maker's contact details. The program is an open project without a
// company behind it, so only the name is known; an empty detail is shown as
// a dash. Put a real maker's details here when there is one.
constexpr const char* kMakerName = "vm4417";
constexpr const char* kMakerStreet = "";  // street and number
constexpr const char* kMakerTown = "";    // post code and town
constexpr const char* kMakerPhone = "";
constexpr const char* kMakerEmail = "";
constexpr const char* kMakerWeb = "";

constexpr const char* kCaption = "Informace o výrobci";
constexpr const char* kHeading = "Výrobu a úpravy programu provádí:";

// Text pixel size of the labels.
constexpr int kLabelPixelSize = 13;

// `word` (may be empty) followed by the detail, or by a dash when the detail
// is not known.
QString Detail(const char* word, const char* value)
{
    const QString shown = value[0] != '\0' ? QString::fromUtf8(value) : QStringLiteral("\u2013");
    return QString::fromUtf8(word) + shown;
}

}  // namespace

TForm2::TForm2(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8(kCaption));
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

    const QColor blue(0, 0, 255);
    const QColor green(0, 128, 0);
    const QColor red(255, 0, 0);
    auto colour = [](QLabel* label, const QColor& c) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, c);
        label->setPalette(palette);
    };

    colour(AddLabel("Label1", 40, 16, QString::fromUtf8(kHeading), false), blue);
    AddLabel("Label2", 68, 52, Detail("", kMakerName), true);
    AddLabel("Label3", 100, 80, Detail("", kMakerStreet), true);
    AddLabel("Label4", 64, 108, Detail("", kMakerTown), true);
    colour(AddLabel("Label6", 72, 140, Detail("Telefon: ", kMakerPhone), false), green);
    colour(AddLabel("Label7", 64, 168, Detail("Email: ", kMakerEmail), false), red);
    colour(AddLabel("Label8", 72, 196, Detail("Internet: ", kMakerWeb), false), red);

    CentreOnScreen();
}

QLabel* TForm2::AddLabel(const char* name, int left, int top, const QString& text, bool bold)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(UiFont(kLabelPixelSize, bold));
    // On the button-face background Qt would draw the text in the button-text
    // role; the labels use the window-text role, coloured per label.
    label->setForegroundRole(QPalette::WindowText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();  // sized to its text
    return label;
}

void TForm2::CentreOnScreen()
{
    // Centre on the screen the owner is on (the primary one without an
    // owner). Moving the window here also stops QDialog from centring it on
    // its parent when it is shown. The frame is not known before the window
    // manager maps the window, so the ordinary outer size stands in for it.
    QScreen* screen = parentWidget() ? parentWidget()->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - kOuterSize.width()) / 2,
         area.y() + (area.height() - kOuterSize.height()) / 2);
}

}  // namespace vm4417::ui
