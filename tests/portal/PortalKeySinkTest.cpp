// The RemoteDesktop portal's key sink against a mock portal (python-dbusmock,
// remote_desktop_portal.py) on a private bus: what a real desktop cannot be
// made to do on demand here (close the session from its side, speak
// version 2 with restore tokens, refuse a key call) and the request pattern
// itself, since the mock answers before its reply to each call.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <string>
#include <vector>

#include "PortalKeySink.h"
#include "RestoreToken.h"
#include "TempDir.h"
#include "typing/ShiftedKeysyms.h"

namespace vm4417 {
namespace {

constexpr int kWaitMs = 10000;

struct MockOptions {
    int version = 1;
    int types = 7;
    int start = 0;      // Start's response code
    std::string token;  // returned by Start when asked to persist
    bool failKeys = false;
};

// A private bus with the mock portal on it, and a connection to that bus.
class MockPortal {
public:
    explicit MockPortal(const MockOptions& options, bool withPortal = true) {
        address_ = QString::fromStdString("unix:path=" + dir_ / "bus");
        bus_.start("dbus-daemon",
                   {"--session", "--nofork", "--nopidfile", "--address=" + address_});
        if (!QTest::qWaitFor(
                [&] { return QFileInfo::exists(QString::fromStdString(dir_ / "bus")); }, kWaitMs)) {
            ADD_FAILURE() << "dbus-daemon did not start";
        }
        static int count = 0;
        name_ = QStringLiteral("mock-portal-%1").arg(++count);
        connection_ =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, name_));
        if (withPortal) StartPortal(options);
    }
    ~MockPortal() {
        StopPortal();
        connection_.reset();
        QDBusConnection::disconnectFromBus(name_);
        bus_.terminate();
        bus_.waitForFinished();
    }

    QDBusConnection& connection() { return *connection_; }
    bool Running() {
        return connection_->interface()->isServiceRegistered("org.freedesktop.portal.Desktop");
    }
    void StopPortal() {
        if (portal_.state() == QProcess::NotRunning) return;
        portal_.terminate();
        portal_.waitForFinished();
    }
    QJsonArray Calls() { return QJsonDocument::fromJson(Mock("CallsJson").toUtf8()).array(); }
    // The options or arguments of every call of `method`, in order.
    std::vector<QJsonValue> CallsOf(const QString& method) {
        std::vector<QJsonValue> found;
        for (const QJsonValue call : Calls()) {
            if (call[0].toString() == method) found.push_back(call[1]);
        }
        return found;
    }
    void CloseSessions() { Mock("CloseSessions"); }

private:
    void StartPortal(const MockOptions& options) {
        QJsonObject parameters{{"version", options.version},
                               {"types", options.types},
                               {"start", options.start},
                               {"fail_keys", options.failKeys}};
        if (!options.token.empty()) parameters["token"] = QString::fromStdString(options.token);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", address_);
        portal_.setProcessEnvironment(environment);
        portal_.start("/usr/bin/python3",
                      {"-m", "dbusmock", "--session", "--template", VM4417_PORTAL_MOCK,
                       "--parameters", QJsonDocument(parameters).toJson(QJsonDocument::Compact)});
        if (!QTest::qWaitFor([&] { return Running(); }, kWaitMs)) {
            ADD_FAILURE() << "the mock portal did not start: python3-dbusmock is needed";
        }
    }
    QString Mock(const QString& method) {
        const QDBusMessage reply = connection_->call(QDBusMessage::createMethodCall(
            "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
            "org.freedesktop.DBus.Mock", method));
        return reply.arguments().value(0).toString();
    }

    test::TempDir dir_;
    QString address_;
    QString name_;
    QProcess bus_;
    QProcess portal_;
    std::unique_ptr<QDBusConnection> connection_;
};

bool Settles(PortalKeySink& sink) {
    return QTest::qWaitFor([&] { return sink.Status().state != WayState::Preparing; }, kWaitMs);
}

TEST(PortalKeySinkTest, MockPortalRuns) {
    MockPortal portal({});
    ASSERT_TRUE(portal.Running()) << "python3-dbusmock and dbus-daemon are needed";
}

struct CheckCase {
    int version;
    int types;
    bool usable;
};

class PortalCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(PortalCheckTest, ReportsWhetherTheKeyboardIsOffered) {
    const CheckCase& c = GetParam();
    MockOptions options;
    options.version = c.version;
    options.types = c.types;
    MockPortal portal(options);
    PortalKeySink sink("", portal.connection());
    const WayCheck check = sink.Check();
    EXPECT_EQ(check.usable, c.usable) << check.reason;
    EXPECT_NE(check.reason.find(std::to_string(c.version)), std::string::npos) << check.reason;
    EXPECT_EQ(sink.Status().state, WayState::Idle) << "a check sets nothing up";
}

INSTANTIATE_TEST_SUITE_P(Versions, PortalCheckTest,
                         ::testing::Values(CheckCase{1, 7, true}, CheckCase{2, 1, true},
                                           CheckCase{2, 6, false}));

TEST(PortalKeySinkTest, CheckWithoutAPortalGivesTheBusWords) {
    MockPortal bus({}, false);
    PortalKeySink sink("", bus.connection());
    const WayCheck check = sink.Check();
    EXPECT_FALSE(check.usable);
    EXPECT_NE(check.reason.find("org.freedesktop.DBus.Error"), std::string::npos) << check.reason;
}

struct PersistCase {
    const char* name;
    int version;
    std::optional<std::string> storedToken;
    std::string returnedToken;
    bool asksToPersist;
    std::optional<std::string> tokenAfter;
};

class PortalPersistTest : public ::testing::TestWithParam<PersistCase> {};

TEST_P(PortalPersistTest, KeepsTheRestoreTokenWhereThePortalHasOne) {
    const PersistCase& c = GetParam();
    MockOptions mock;
    mock.version = c.version;
    mock.token = c.returnedToken;
    MockPortal portal(mock);
    test::TempDir home;
    const std::string tokenFile = home / "state/vm4417/portal-restore-token";
    if (c.storedToken) {
        ASSERT_TRUE(WriteRestoreToken(tokenFile, *c.storedToken).Ok());
    }

    PortalKeySink sink(tokenFile, portal.connection());
    sink.Prepare();
    ASSERT_TRUE(Settles(sink));
    ASSERT_EQ(sink.Status().state, WayState::Ready) << sink.Status().detail;

    const auto selects = portal.CallsOf("SelectDevices");
    ASSERT_EQ(selects.size(), 1u);
    const QJsonObject options = selects[0].toObject();
    EXPECT_EQ(options["types"].toInt(), 1) << "keyboard only";
    EXPECT_EQ(options.contains("persist_mode"), c.asksToPersist);
    if (c.asksToPersist) {
        EXPECT_EQ(options["persist_mode"].toInt(), 2);
    }
    const bool restores = c.asksToPersist && c.storedToken.has_value();
    EXPECT_EQ(options.contains("restore_token"), restores);
    if (restores) {
        EXPECT_EQ(options["restore_token"].toString().toStdString(), *c.storedToken);
    }

    EXPECT_EQ(ReadRestoreToken(tokenFile), c.tokenAfter);
    if (c.tokenAfter) {
        struct stat st {};
        ASSERT_EQ(stat(tokenFile.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Versions, PortalPersistTest,
    ::testing::Values(PersistCase{"version1_asks_every_time", 1, "old", "new", false, "old"},
                      PersistCase{"version2_first_time", 2, std::nullopt, "new", true, "new"},
                      PersistCase{"version2_restores", 2, "old", "new", true, "new"},
                      PersistCase{"version2_no_token_back", 2, "old", "", true, "old"}),
    [](const auto& info) { return std::string(info.param.name); });

class PortalRefusalTest : public ::testing::TestWithParam<int> {};

TEST_P(PortalRefusalTest, IsRespectedUntilTheNextPrepare) {
    MockOptions options;
    options.start = GetParam();
    MockPortal portal(options);
    PortalKeySink sink("", portal.connection());
    sink.Prepare();
    ASSERT_TRUE(Settles(sink));
    EXPECT_EQ(sink.Status().state, WayState::Refused) << sink.Status().detail;
    EXPECT_FALSE(sink.Begin());
    EXPECT_FALSE(sink.Send(KeyEvent{'A', false}));
    QTest::qWait(200);
    EXPECT_EQ(portal.CallsOf("Start").size(), 1u) << "asked again by itself";
    EXPECT_TRUE(portal.CallsOf("NotifyKeyboardKeysym").empty());

    sink.Prepare();
    ASSERT_TRUE(Settles(sink));
    EXPECT_EQ(portal.CallsOf("Start").size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Responses, PortalRefusalTest, ::testing::Values(1, 2));

TEST(PortalKeySinkTest, SendsKeysymsAndNoShift) {
    MockPortal portal({});
    PortalKeySink sink("", portal.connection());
    sink.Prepare();
    ASSERT_TRUE(Settles(sink));
    ASSERT_TRUE(sink.Begin()) << sink.Status().detail;
    const std::vector<KeyEvent> events{
        {vk::Shift, false},   {'A', false},      {'A', true},         {vk::Subtract, false},
        {vk::Subtract, true}, {vk::Shift, true}, {vk::Return, false}, {vk::Return, true}};
    for (const KeyEvent& event : events) EXPECT_TRUE(sink.Send(event));

    std::vector<QJsonValue> expected;
    for (const KeyEvent& event : events) {
        if (event.virtualKey == vk::Shift) continue;
        expected.push_back(
            QJsonArray{static_cast<int>(*ShiftedKeysym(event.virtualKey)), event.keyUp ? 0 : 1});
    }
    EXPECT_EQ(portal.CallsOf("NotifyKeyboardKeysym"), expected);
}

TEST(PortalKeySinkTest, PrepareWhileReadyKeepsTheSession) {
    MockPortal portal({});
    PortalKeySink sink("", portal.connection());
    sink.Prepare();
    ASSERT_TRUE(Settles(sink));
    sink.Prepare();
    EXPECT_EQ(sink.Status().state, WayState::Ready);
    QTest::qWait(200);
    EXPECT_EQ(portal.CallsOf("CreateSession").size(), 1u);
}

// How the way can break once it is ready; each must end it, so that the
// next capture is reported instead of typed into nothing.
enum class Break { SessionClosed, KeyCallFails, PortalGone };

class PortalBreakTest : public ::testing::TestWithParam<Break> {};

TEST_P(PortalBreakTest, FailsTheWay) {
    MockOptions options;
    options.failKeys = GetParam() == Break::KeyCallFails;
    MockPortal portal(options);
    PortalKeySink sink("", portal.connection());
    int changes = 0;
    sink.SetStatusListener([&] { ++changes; });
    sink.Prepare();
    ASSERT_TRUE(Settles(sink));
    ASSERT_EQ(sink.Status().state, WayState::Ready);
    const int changesWhenReady = changes;

    switch (GetParam()) {
        case Break::SessionClosed: portal.CloseSessions(); break;
        case Break::KeyCallFails: EXPECT_FALSE(sink.Send(KeyEvent{'1', false})); break;
        case Break::PortalGone: portal.StopPortal(); break;
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return sink.Status().state == WayState::Failed; }, kWaitMs));
    EXPECT_FALSE(sink.Status().detail.empty());
    EXPECT_GT(changes, changesWhenReady) << "the listener hears of it";
    EXPECT_FALSE(sink.Begin());
    EXPECT_FALSE(sink.Send(KeyEvent{'1', true}));
}

INSTANTIATE_TEST_SUITE_P(Ways, PortalBreakTest,
                         ::testing::Values(Break::SessionClosed, Break::KeyCallFails,
                                           Break::PortalGone));

}  // namespace
}  // namespace vm4417
