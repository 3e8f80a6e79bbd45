// Desktop notifications against python-dbusmock's notification service on a
// private bus, which logs every call: a row of notices shows as one
// notification, also while the service has not yet answered the first call
// (a service that the bus starts on that call answers late).

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <string>
#include <vector>

#include "DesktopNotifications.h"
#include "PrivateBus.h"

namespace vm4417 {
namespace {

constexpr int kWaitMs = test::kBusWaitMs;

// python-dbusmock's notification service, which logs every call.
class NotificationService {
public:
    NotificationService() {
        bus_.StartMock("org.freedesktop.Notifications",
                       {"--template", "notification_daemon", "-l",
                        QString::fromStdString(bus_.File("calls.log"))});
    }

    QDBusConnection& connection() { return bus_.connection(); }
    bool Running() { return bus_.HasService("org.freedesktop.Notifications"); }
    // "<replaces_id> <body>" of each Notify call, in order.
    std::vector<std::string> Notifies() {
        QFile log(QString::fromStdString(bus_.File("calls.log")));
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
    test::PrivateBus bus_;
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
