#pragma once
// The machine's sleep as systemd-logind announces it on the system bus. A
// delay inhibitor lock ("sleep", mode "delay") makes logind wait, a few
// seconds at most, until the program has let go of what it must before the
// machine sleeps: the lock is given back right after. PrepareForSleep(true)
// comes before the sleep, PrepareForSleep(false) after the wake-up, when
// the lock is taken again for the next sleep.

#include <QDBusConnection>
#include <QObject>
#include <functional>

namespace vm4417 {

class SleepWatch final : public QObject {
    Q_OBJECT

public:
    // On the system bus ($DBUS_SYSTEM_BUS_ADDRESS, or the system's own).
    explicit SleepWatch(QObject* parent = nullptr);
    SleepWatch(QDBusConnection bus, QObject* parent = nullptr);
    ~SleepWatch() override;
    SleepWatch(const SleepWatch&) = delete;
    SleepWatch& operator=(const SleepWatch&) = delete;

    // Listens for the announcements and asks for the lock; `beforeSleep`
    // runs while the lock is held, `afterSleep` after the wake-up. Without
    // logind nothing ever runs.
    void Start(std::function<void()> beforeSleep, std::function<void()> afterSleep);
    // Whether the program holds the delay lock now.
    bool HoldsLock() const { return lock_ >= 0; }

private Q_SLOTS:
    void OnPrepareForSleep(bool sleeping);

private:
    void TakeLock();
    void GiveLockBack();

    QDBusConnection bus_;
    std::function<void()> beforeSleep_;
    std::function<void()> afterSleep_;
    int lock_ = -1;  // the lock's file descriptor: logind waits until it is closed
    bool asked_ = false;
};

}  // namespace vm4417
