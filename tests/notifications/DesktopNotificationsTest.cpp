// Desktop notifications against python-dbusmock's notification service on a
// private bus, which logs every call: a row of notices shows as one
// notification, also while the service has not yet answered the first call
// (a service that the bus starts on that call answers late).

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>
#include <string>
#include <vector>

#include "DesktopNotifications.h"
#include "TempDir.h"

namespace vm4417 {
namespace {

constexpr int kWaitMs = 10000;

class NotificationService {
public:
    NotificationService() {
        address_ = QString::fromStdString("unix:path=" + dir_ / "bus");
        bus_.start("dbus-daemon",
                   {"--session", "--nofork", "--nopidfile", "--address=" + address_});
        if (!QTest::qWaitFor(
                [&] { return QFileInfo::exists(QString::fromStdString(dir_ / "bus")); }, kWaitMs)) {
            ADD_FAILURE() << "dbus-daemon did not start";
        }
        connection_ = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address_, QStringLiteral("notifications-test")));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", address_);
        service_.setProcessEnvironment(environment);
        service_.start("/usr/bin/python3",
                       {"-m", "dbusmock", "--session", "--template", "notification_daemon", "-l",
                        QString::fromStdString(dir_ / "calls.log")});
        if (!QTest::qWaitFor([&] { return Running(); }, kWaitMs)) {
            ADD_FAILURE() << "the notification service did not start: python3-dbusmock is needed";
        }
    }
    ~NotificationService() {
        service_.terminate();
        service_.waitForFinished();
        connection_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("notifications-test"));
        bus_.terminate();
        bus_.waitForFinished();
    }

    QDBusConnection& connection() { return *connection_; }
    bool Running() {
        return connection_->interface()->isServiceRegistered("org.freedesktop.Notifications");
    }
    // "<replaces_id> <body>" of each Notify call, in order.
    std::vector<std::string> Notifies() {
        QFile log(QString::fromStdString(dir_ / "calls.log"));
        std::vector<std::string> calls;
        if (!log.open(QIODevice::ReadOnly)) return calls;
        // TIME Notify "app" REPLACES "icon" "summary" "body" ...
        static const QRegularExpression notify(
            R"re(Notify "[^"]*" (\d+) "[^"]*" "[^"]*" "([^"]*)")re");
        for (const QString& line : QString::fromUtf8(log.readAll()).split('\n')) {
            const QRegularExpressionMatch match = notify.match(line);
            if (match.hasMatch())
                calls.push_back((match.captured(1) + ' ' + match.captured(2)).toStdString());
        }
        return calls;
    }

private:
    test::TempDir dir_;
    QString address_;
    QProcess bus_;
    QProcess service_;
    std::unique_ptr<QDBusConnection> connection_;
};

TEST(DesktopNotifications, ARowOfNoticesShowsAsOneNotificationTheNewestLast) {
    NotificationService service;
    ASSERT_TRUE(service.Running()) << "python3-dbusmock and dbus-daemon are needed";
    DesktopNotifications notifications(service.connection());
    // No event loop runs between these, so the service's answer to the
    // first is not in yet when the others come.
    notifications.Show("Čtečka", "first");
    notifications.Show("Čtečka", "second");
    notifications.Show("Čtečka", "third");
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.Notifies().size() >= 2; }, kWaitMs));
    notifications.Show("Čtečka", "fourth");
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.Notifies().size() >= 3; }, kWaitMs));
    QTest::qWait(200);
    // The service numbers new notifications from 1.
    EXPECT_EQ(service.Notifies(), (std::vector<std::string>{"0 first", "1 third", "1 fourth"}));
}

}  // namespace
}  // namespace vm4417
