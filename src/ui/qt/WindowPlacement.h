#pragma once

#include <QSize>

class QWidget;

namespace vm4417::ui {

// Moves a top-level window so that a frame of `outerSize` is centred on the
// screen of its parent (the primary screen without one). The frame is not
// known before the window system maps the window, so the caller says how
// large it will be.
void CentreOnScreen(QWidget* window, QSize outerSize);

}  // namespace vm4417::ui
