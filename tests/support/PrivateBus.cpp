#include "PrivateBus.h"

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTest>

namespace vm4417::test {

PrivateBus::PrivateBus() {
    address_ = QString::fromStdString("unix:path=" + dir_ / "bus");
    bus_.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--address=" + address_});
    if (!QTest::qWaitFor([&] { return QFileInfo::exists(QString::fromStdString(dir_ / "bus")); },
                         kBusWaitMs)) {
        ADD_FAILURE() << "dbus-daemon did not start";
    }
    static int count = 0;
    name_ = QStringLiteral("private-bus-%1").arg(++count);
    connection_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, name_));
}

PrivateBus::~PrivateBus() {
    StopMock();
    connection_.reset();
    QDBusConnection::disconnectFromBus(name_);
    bus_.terminate();
    bus_.waitForFinished();
}

bool PrivateBus::HasService(const QString& name) {
    return connection_->interface()->isServiceRegistered(name);
}

bool PrivateBus::StartMock(const QString& service, const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", address_);
    mock_.setProcessEnvironment(environment);
    mock_.start("/usr/bin/python3", QStringList{"-m", "dbusmock", "--session"} + arguments);
    if (QTest::qWaitFor([&] { return HasService(service); }, kBusWaitMs)) return true;
    ADD_FAILURE() << service.toStdString() << " did not start: python3-dbusmock is needed";
    return false;
}

void PrivateBus::StopMock() {
    if (mock_.state() == QProcess::NotRunning) return;
    mock_.terminate();
    mock_.waitForFinished();
}

}  // namespace vm4417::test
