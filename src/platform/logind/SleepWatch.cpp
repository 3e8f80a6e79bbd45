#include "SleepWatch.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

namespace vm4417 {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
constexpr int kCallTimeoutMs = 5000;

}  // namespace

SleepWatch::SleepWatch(QObject* parent) : SleepWatch(QDBusConnection::systemBus(), parent) {}

SleepWatch::SleepWatch(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

SleepWatch::~SleepWatch() { GiveLockBack(); }

void SleepWatch::Start(std::function<void()> beforeSleep, std::function<void()> afterSleep) {
    if (!bus_.isConnected()) return;
    beforeSleep_ = std::move(beforeSleep);
    afterSleep_ = std::move(afterSleep);
    bus_.connect(kService, kManagerPath, kManager, QStringLiteral("PrepareForSleep"), this,
                 SLOT(OnPrepareForSleep(bool)));
    TakeLock();
}

// Asked without waiting; until the answer comes, a sleep simply finds no
// lock of the program's.
void SleepWatch::TakeLock() {
    if (lock_ >= 0 || asked_) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kManagerPath, kManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("vm4417")
         << QStringLiteral("Uvolní port čtečky čipů před uspáním") << QStringLiteral("delay");
    asked_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        asked_ = false;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        if (reply.isError() || !reply.value().isValid() || lock_ >= 0) return;
        // A copy of our own: Qt's copies close with the reply, and logind
        // waits only for this one.
        lock_ = fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    });
}

void SleepWatch::GiveLockBack() {
    if (lock_ < 0) return;
    close(lock_);
    lock_ = -1;
}

void SleepWatch::OnPrepareForSleep(bool sleeping) {
    if (sleeping) {
        if (beforeSleep_) beforeSleep_();
        GiveLockBack();
        return;
    }
    TakeLock();
    if (afterSleep_) afterSleep_();
}

}  // namespace vm4417
