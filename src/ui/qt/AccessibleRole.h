#pragma once
// The role assistive technology sees for a plain widget (a QWidget or a
// QFrame, whose accessibility Qt gives a generic role): the main window as
// a window, a frame that groups controls as a grouping, a notice as a
// notification. Widgets with an accessibility of their own in Qt (labels,
// buttons, fields) keep it.

#include <QAccessible>

class QWidget;

namespace vm4417::ui {

// Call before the widget is first shown.
void SetAccessibleRole(QWidget& widget, QAccessible::Role role);

}  // namespace vm4417::ui
