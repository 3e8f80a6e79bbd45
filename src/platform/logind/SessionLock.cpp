#include "SessionLock.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QTimer>

#include <unistd.h>

namespace vm4417 {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
// logind names the caller's session, or failing that its user's graphical
// session, by this path; its signals come from the session's own path.
const QString kAutoSession = QStringLiteral("/org/freedesktop/login1/session/auto");
constexpr int kCallTimeoutMs = 5000;

}  // namespace

SessionLock::SessionLock(QObject* parent) : SessionLock(QDBusConnection::systemBus(), parent) {}

SessionLock::SessionLock(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

void SessionLock::Start() {
    if (!bus_.isConnected()) return;
    searching_ = true;
    const QString id = qEnvironmentVariable("XDG_SESSION_ID");
    if (id.isEmpty()) {
        FindSessionByProcess();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kManagerPath, kManager,
                                                       QStringLiteral("GetSession"));
    call << id;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError()) {
            FindSessionByProcess();
        } else {
            Follow(reply.value().path());
        }
    });
}

// A program started from a terminal or the desktop's launcher runs in the
// session's own scope.
void SessionLock::FindSessionByProcess() {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kManagerPath, kManager,
                                                       QStringLiteral("GetSessionByPID"));
    call << static_cast<uint>(getpid());
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError()) {
            FindGraphicalSession();
        } else {
            Follow(reply.value().path());
        }
    });
}

// Desktops that start applications as services of the user's own manager
// (GNOME) leave them outside any session: the user's graphical one is meant.
void SessionLock::FindGraphicalSession() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kAutoSession, kProperties, QStringLiteral("Get"));
    call << kSession << QStringLiteral("Id");
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (reply.isError()) {
            searching_ = false;  // no logind, or no session: nothing is seen
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kManagerPath, kManager,
                                                           QStringLiteral("GetSession"));
        call << reply.value().variant().toString();
        auto* next = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
        connect(next, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* n) {
            n->deleteLater();
            const QDBusPendingReply<QDBusObjectPath> session = *n;
            if (session.isError()) {
                searching_ = false;
            } else {
                Follow(session.value().path());
            }
        });
    });
}

// Listening first, then reading: a change between the two is not missed.
void SessionLock::Follow(const QString& sessionPath) {
    sessionPath_ = sessionPath;
    bus_.connect(kService, sessionPath_, kProperties, QStringLiteral("PropertiesChanged"), this,
                 SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)));
    ReadHint();
}

void SessionLock::ReadHint() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, sessionPath_, kProperties, QStringLiteral("Get"));
    call << kSession << QStringLiteral("LockedHint");
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (reply.isError()) {
            searching_ = false;
        } else {
            Take(reply.value().variant().toBool());
        }
    });
}

void SessionLock::OnPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                      const QStringList& invalidated) {
    if (interface != kSession) return;
    if (changed.contains(QStringLiteral("LockedHint"))) {
        Take(changed.value(QStringLiteral("LockedHint")).toBool());
    } else if (invalidated.contains(QStringLiteral("LockedHint"))) {
        ReadHint();
    }
}

void SessionLock::Take(bool locked) {
    searching_ = false;
    const bool unlocked = locked_ == true && !locked;
    locked_ = locked;
    // Not from inside Locked(): the listener may set typing up, which must
    // wait until a capture in progress is over.
    if (unlocked && unlockListener_) QTimer::singleShot(0, this, [this] { unlockListener_(); });
}

bool SessionLock::WaitUntilKnown(std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (searching_ && std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return locked_.has_value();
}

std::optional<bool> SessionLock::Locked() {
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    return locked_;
}

}  // namespace vm4417
