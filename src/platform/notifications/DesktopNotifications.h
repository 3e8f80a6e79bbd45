#pragma once
// Desktop notifications through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus), which GNOME Shell,
// KDE Plasma, Xfce, mako, dunst and others run: a short text that the desktop
// shows for a moment and then keeps in its list, if it keeps one.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <optional>

namespace vm4417 {

class DesktopNotifications final : public QObject {
    Q_OBJECT

public:
    // On the session bus ($DBUS_SESSION_BUS_ADDRESS).
    explicit DesktopNotifications(QObject* parent = nullptr);
    DesktopNotifications(QDBusConnection bus, QObject* parent = nullptr);

    // Shows `title` and `body`, in place of the notification shown before,
    // so that a row of them never piles up. Asynchronous: nothing here waits
    // for the bus, and without a bus or a notification service nothing
    // happens and nothing is said. A notification asked for while the
    // service has not yet answered the one before waits for that answer
    // (the answer names the notification to replace); only the newest one
    // that waited is shown.
    void Show(const QString& title, const QString& body);

private:
    struct Notice {
        QString title;
        QString body;
    };
    void Send(const Notice& notice);

    QDBusConnection bus_;
    // The service's number of the notification shown last; 0: none.
    uint shown_ = 0;
    bool waiting_ = false;  // a Notify call has not been answered yet
    std::optional<Notice> next_;
};

}  // namespace vm4417
