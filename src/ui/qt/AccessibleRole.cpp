#include "AccessibleRole.h"

#include <QAccessibleWidget>
#include <QVariant>
#include <QWidget>

namespace vm4417::ui {

namespace {

constexpr char kRoleProperty[] = "vm4417AccessibleRole";

// Qt asks the factories for each class of an object, its own first; a
// widget with the property gets the generic interface with its role.
QAccessibleInterface* WithRole(const QString& /*className*/, QObject* object) {
    const QVariant role = object->property(kRoleProperty);
    if (!role.isValid() || !object->isWidgetType()) return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object),
                                 static_cast<QAccessible::Role>(role.toInt()));
}

}  // namespace

void SetAccessibleRole(QWidget& widget, QAccessible::Role role) {
    static const bool installed = (QAccessible::installFactory(&WithRole), true);
    (void)installed;
    widget.setProperty(kRoleProperty, static_cast<int>(role));
}

}  // namespace vm4417::ui
