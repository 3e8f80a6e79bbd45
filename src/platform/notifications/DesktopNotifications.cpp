#include "DesktopNotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>
#include <utility>

namespace vm4417 {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The program's name, icon and desktop entry, by which desktops show where
// a notification comes from.
const QString kAppName = QStringLiteral("vm4417");
const QString kIcon = QStringLiteral("vm4417");
const QString kDesktopEntry = QStringLiteral("cz.velm.vm4417");
constexpr unsigned char kNormalUrgency = 1;
// The desktop's own choice of how long a notification shows.
constexpr int kDesktopsTimeout = -1;
// A service that takes longer is taken as gone; the next one is sent anyway.
constexpr int kCallTimeoutMs = 5000;

QVariantMap Hints() {
    return {
        {QStringLiteral("urgency"), QVariant::fromValue(kNormalUrgency)},
        {QStringLiteral("desktop-entry"), kDesktopEntry},
        // The program plays its own sound, or none when the operator chose
        // none; the desktop adds no second one.
        {QStringLiteral("suppress-sound"), true},
    };
}

}  // namespace

DesktopNotifications::DesktopNotifications(QObject* parent)
    : DesktopNotifications(QDBusConnection::sessionBus(), parent) {}

DesktopNotifications::DesktopNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

void DesktopNotifications::Show(const QString& title, const QString& body) {
    if (!bus_.isConnected()) return;
    if (waiting_) {
        next_ = Notice{title, body};
        return;
    }
    Send(Notice{title, body});
}

void DesktopNotifications::Send(const Notice& notice) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << kAppName << shown_ << kIcon << notice.title << notice.body << QStringList() << Hints()
         << kDesktopsTimeout;
    waiting_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        waiting_ = false;
        // No service, or one that failed: its numbers may mean another
        // program's notifications once a service runs again.
        const QDBusPendingReply<uint> reply = *w;
        shown_ = reply.isError() ? 0 : reply.value();
        if (next_) Send(*std::exchange(next_, std::nullopt));
    });
}

}  // namespace vm4417
