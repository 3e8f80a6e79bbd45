#pragma once
// A session bus of a test's own (dbus-daemon in a throwaway folder), a
// connection to it, and python-dbusmock services started on it: a mock
// portal or notification service that records what the program asks.

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "TempDir.h"

namespace vm4417::test {

inline constexpr int kBusWaitMs = 10000;

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    QDBusConnection& connection() { return *connection_; }
    // A path in the bus's throwaway folder.
    std::string File(const std::string& name) const { return dir_ / name; }
    bool HasService(const QString& name);

    // Starts `python3 -m dbusmock --session ARGUMENTS` on this bus and waits
    // until it owns `service`; false (with a failure added) when it does not.
    bool StartMock(const QString& service, const QStringList& arguments);
    void StopMock();

private:
    TempDir dir_;
    QString address_;
    QString name_;
    QProcess bus_;
    QProcess mock_;
    std::unique_ptr<QDBusConnection> connection_;
};

}  // namespace vm4417::test
