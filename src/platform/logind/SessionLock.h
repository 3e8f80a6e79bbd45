#pragma once
// Whether the program's login session is locked, as systemd-logind records
// it on the system bus: the session's LockedHint, which GNOME Shell and KDE
// Plasma's screen locker set while their lock screen shows, on X11 and on
// Wayland alike. Lockers that set nothing (i3lock, swaylock) are not seen
// here.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <optional>

namespace vm4417 {

class SessionLock final : public QObject {
    Q_OBJECT

public:
    // On the system bus ($DBUS_SYSTEM_BUS_ADDRESS, or the system's own).
    explicit SessionLock(QObject* parent = nullptr);
    SessionLock(QDBusConnection bus, QObject* parent = nullptr);

    // Finds the session ($XDG_SESSION_ID, else the session of this process,
    // else the user's graphical session), listens for changes of its hint
    // and reads it. The answers come later, from the event loop; nothing
    // here waits for the bus.
    void Start();

    // The hint as last heard; nothing when there is no logind or no session.
    // Takes in the changes that have arrived meanwhile, also while a capture
    // keeps the event loop from running (the bus is read on a thread of
    // Qt's own, which queues them for this object).
    std::optional<bool> Locked();
    // Runs the event loop until the hint is known, for at most `timeout`
    // (for a report, never while the window runs). True when it is known.
    bool WaitUntilKnown(std::chrono::milliseconds timeout);

    // Runs from the event loop after the session was unlocked (the hint went
    // from true to false).
    void SetUnlockListener(std::function<void()> listener) {
        unlockListener_ = std::move(listener);
    }

private Q_SLOTS:
    void OnPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);

private:
    void FindSessionByProcess();
    void FindGraphicalSession();
    void AskForSession(const QDBusMessage& call, std::function<void()> otherwise);
    void AskForProperty(const QString& sessionPath, const QString& name,
                        std::function<void(const QVariant&)> then);
    void Follow(const QString& sessionPath);
    void ReadHint();
    void Take(bool locked);

    QDBusConnection bus_;
    QString sessionPath_;
    std::optional<bool> locked_;
    bool searching_ = false;  // the session or its hint is still being asked for
    std::function<void()> unlockListener_;
};

}  // namespace vm4417
