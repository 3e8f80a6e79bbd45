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

template <typename Argument>
QDBusMessage ManagerCall(const QString& method, const Argument& argument) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kManagerPath, kManager, method);
    call << argument;
    return call;
}

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
    AskForSession(ManagerCall(QStringLiteral("GetSession"), id),
                  [this] { FindSessionByProcess(); });
}

// A program started from a terminal or the desktop's launcher runs in the
// session's own scope.
void SessionLock::FindSessionByProcess() {
    AskForSession(ManagerCall(QStringLiteral("GetSessionByPID"), static_cast<uint>(getpid())),
                  [this] { FindGraphicalSession(); });
}

// Desktops that start applications as services of the user's own manager
// (GNOME) leave them outside any session: the user's graphical one is meant.
void SessionLock::FindGraphicalSession() {
    AskForProperty(kAutoSession, QStringLiteral("Id"), [this](const QVariant& id) {
        AskForSession(ManagerCall(QStringLiteral("GetSession"), id.toString()),
                      [this] { searching_ = false; });
    });
}

// Calls a method of logind's manager that answers with a session's path, and
// follows that session; `otherwise` runs when there is none.
void SessionLock::AskForSession(const QDBusMessage& call, std::function<void()> otherwise) {
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, otherwise = std::move(otherwise)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *w;
                if (!reply.isError()) {
                    Follow(reply.value().path());
                    return;
                }
                otherwise();
            });
}

// Reads one property of a session; nothing more happens when it cannot be
// read (no logind, or no session: nothing is seen).
void SessionLock::AskForProperty(const QString& sessionPath, const QString& name,
                                 std::function<void(const QVariant&)> then) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, sessionPath, kProperties, QStringLiteral("Get"));
    call << kSession << name;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, then = std::move(then)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<QDBusVariant> reply = *w;
                if (reply.isError()) {
                    searching_ = false;
                    return;
                }
                then(reply.value().variant());
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
    AskForProperty(sessionPath_, QStringLiteral("LockedHint"),
                   [this](const QVariant& locked) { Take(locked.toBool()); });
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
