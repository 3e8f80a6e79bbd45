#pragma once
// A notice for screen readers: an object without size or picture that
// assistive technology sees as a notification. Saying a text gives the
// object that text as its name and shows it anew, and a screen reader speaks
// a notification when it is shown (Orca does so on AT-SPI's "showing" change
// of an object in the notification role). Qt 6.4 has no announcement event
// of its own.

#include <QString>
#include <QWidget>

namespace vm4417::ui {

class SpokenNotice final : public QWidget {
    Q_OBJECT

public:
    explicit SpokenNotice(QWidget* parent);

    void Say(const QString& text);
};

}  // namespace vm4417::ui
