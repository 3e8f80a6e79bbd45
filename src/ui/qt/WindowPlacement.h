#pragma once

#include <QSize>

class QWidget;

namespace vm4417::ui {

// Moves a top-level window so that a frame of `outerSize` is centred on the
// screen of its parent (the primary screen without one); a window larger
// than the screen goes to its top-left corner, so that the title bar stays
// reachable. The frame is not known before the window system maps the
// window, so the caller says how large it will be.
void CentreOnScreen(QWidget* window, QSize outerSize);

// Call before the application is made. When the main window at the scale of
// the primary screen (its own and QT_SCALE_FACTOR) would not fit the
// screen's available area, sets QT_SCALE_FACTOR so that every window is
// drawn at the largest scale that fits, but never below 100 %. Looks at the
// screen through a short-lived application of its own.
void FitScaleToScreen(int& argc, char** argv);

}  // namespace vm4417::ui
