#include "SpokenNotice.h"

#include "AccessibleRole.h"

namespace vm4417::ui {

SpokenNotice::SpokenNotice(QWidget* parent) : QWidget(parent) {
    SetAccessibleRole(*this, QAccessible::Notification);
    setObjectName(QStringLiteral("SpokenNotice"));
    setGeometry(0, 0, 0, 0);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void SpokenNotice::Say(const QString& text) {
    setAccessibleName(text);
    // Hidden first, so that even the same text is shown, and spoken, anew.
    hide();
    show();
}

}  // namespace vm4417::ui
