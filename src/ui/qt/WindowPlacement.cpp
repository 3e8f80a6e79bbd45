#include "WindowPlacement.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>

#include "Form1Layout.h"
#include "Form2Layout.h"
#include "WindowScale.h"

namespace vm4417::ui {

void CentreOnScreen(QWidget* window, QSize outerSize) {
    const QWidget* parent = window->parentWidget();
    const QScreen* screen = parent ? parent->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    window->move(std::max(area.x(), area.x() + (area.width() - outerSize.width()) / 2),
                 std::max(area.y(), area.y() + (area.height() - outerSize.height()) / 2));
}

void FitScaleToScreen(int& argc, char** argv) {
    bool given = false;
    double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&given);
    if (!given || factor <= 0) factor = 1;
    int wanted = kDesignDpi;
    int fitting = kDesignDpi;
    {
        const QGuiApplication probe(argc, argv);
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) return;
        const qreal ratio = screen->devicePixelRatio();
        const QRect area = screen->availableGeometry();
        // The window manager's frame is not known yet: the design's, which
        // is larger than most, at the screen's scale.
        const int frameWidth = qRound((kForm2OuterWidth - kForm2ClientWidth) * ratio);
        const int frameHeight = qRound((kForm2OuterHeight - kForm2ClientHeight) * ratio);
        wanted = qRound(kDesignDpi * ratio);
        fitting = FittingDpi(
            wanted, PixelSize{kClientWidth, kClientHeight}, PixelSize{frameWidth, frameHeight},
            PixelSize{qRound(area.width() * ratio), qRound(area.height() * ratio)});
    }
    if (fitting >= wanted) return;
    qputenv("QT_SCALE_FACTOR", QByteArray::number(factor * fitting / wanted, 'f', 4));
}

}  // namespace vm4417::ui
