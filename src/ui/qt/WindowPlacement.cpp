#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace vm4417::ui {

void CentreOnScreen(QWidget* window, QSize outerSize) {
    const QWidget* parent = window->parentWidget();
    const QScreen* screen = parent ? parent->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    window->move(area.x() + (area.width() - outerSize.width()) / 2,
                 area.y() + (area.height() - outerSize.height()) / 2);
}

}  // namespace vm4417::ui
