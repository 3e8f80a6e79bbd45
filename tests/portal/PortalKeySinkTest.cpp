// The RemoteDesktop portal's key sink against a mock portal (python-dbusmock,
// remote_desktop_portal.py) on a private bus: what a real desktop cannot be
// made to do on demand here (close the session from its side, speak
// version 2 with restore tokens, refuse a key call, light a keyboard's Caps
// Lock) and the request pattern itself, since the mock answers before its
// reply to each call.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <xkbcommon/xkbcommon-keysyms.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <QTest>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "KeyTyping.h"
#include "PortalKeySink.h"
#include "PrivateBus.h"
#include "RestoreToken.h"
#include "TempDir.h"
#include "Texts.h"
#include "posix/SystemClock.h"
#include "typing/ShiftedKeysyms.h"

namespace vm4417 {
namespace {

constexpr int kWaitMs = test::kBusWaitMs;

struct MockOptions {
    int version = 1;
    int types = 7;
    int start = 0;      // Start's response code
    std::string token;  // returned by Start when asked to persist
    std::string light;  // a Caps Lock light that Caps Lock presses switch
};

// A private bus with the mock portal on it, and a connection to that bus.
class MockPortal {
public:
    explicit MockPortal(const MockOptions& options, bool withPortal = true) {
        if (withPortal) StartPortal(options);
    }

    QDBusConnection& connection() { return bus_.connection(); }
    bool Running() { return bus_.HasService("org.freedesktop.portal.Desktop"); }
    void StopPortal() { bus_.StopMock(); }
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
    void FailKeys() { Mock("FailKeys"); }
    std::vector<QJsonValue> Keysyms() { return CallsOf("NotifyKeyboardKeysym"); }

private:
    void StartPortal(const MockOptions& options) {
        QJsonObject parameters{
            {"version", options.version}, {"types", options.types}, {"start", options.start}};
        if (!options.token.empty()) parameters["token"] = QString::fromStdString(options.token);
        if (!options.light.empty()) parameters["light"] = QString::fromStdString(options.light);
        bus_.StartMock("org.freedesktop.portal.Desktop",
                       {"--template", VM4417_PORTAL_MOCK, "--parameters",
                        QJsonDocument(parameters).toJson(QJsonDocument::Compact)});
    }
    QString Mock(const QString& method) {
        const QDBusMessage reply = bus_.connection().call(QDBusMessage::createMethodCall(
            "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
            "org.freedesktop.DBus.Mock", method));
        return reply.arguments().value(0).toString();
    }

    test::PrivateBus bus_;
};

bool Settles(PortalKeySink& sink) {
    return QTest::qWaitFor([&] { return sink.Status().state != WayState::Preparing; }, kWaitMs);
}

// Until Start has answered and the way settles.
bool Starts(PortalKeySink& sink) {
    return QTest::qWaitFor([&] { return sink.SettlingFor().count() > 0; }, kWaitMs);
}

QJsonValue Key(std::uint32_t keysym, bool down) {
    return QJsonArray{static_cast<int>(keysym), down ? 1 : 0};
}

// The keysym calls of a capture's keys, each pressed and released.
std::vector<QJsonValue> Taps(std::initializer_list<std::uint32_t> keysyms) {
    std::vector<QJsonValue> calls;
    for (const std::uint32_t keysym : keysyms) {
        calls.push_back(Key(keysym, true));
        calls.push_back(Key(keysym, false));
    }
    return calls;
}

std::vector<QJsonValue> Joined(std::vector<std::vector<QJsonValue>> parts) {
    std::vector<QJsonValue> joined;
    for (const auto& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

// The capture "A1" with nothing before it: A, 1 and Return.
const CaptureKeys kCapture{1, "00:00:00", "A1"};
const std::vector<QJsonValue> kCaptureKeysyms = Taps({XKB_KEY_A, XKB_KEY_1, XKB_KEY_Return});
// At Start the sink taps Shift, which types nothing.
const std::vector<QJsonValue> kStartTap = Taps({XKB_KEY_Shift_L});

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

// The Shift tap at Start makes a desktop side that turns keysyms into keys
// with a map of its own take in the seat's map before the first real key.
TEST(PortalKeySinkTest, TapsShiftAtStartThenSendsKeysymsAndNoShift) {
    MockPortal portal({});
    PortalKeySink sink("", portal.connection());
    sink.Prepare();
    ASSERT_TRUE(Settles(sink));
    ASSERT_TRUE(sink.Begin()) << sink.Status().detail;
    const std::vector<KeyEvent> events{
        {vk::Shift, false},   {'A', false},      {'A', true},         {vk::Subtract, false},
        {vk::Subtract, true}, {vk::Shift, true}, {vk::Return, false}, {vk::Return, true}};
    for (const KeyEvent& event : events) EXPECT_TRUE(sink.Send(event));

    std::vector<QJsonValue> expected = kStartTap;
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
    MockPortal portal({});
    PortalKeySink sink("", portal.connection());
    int changes = 0;
    sink.SetStatusListener([&] { ++changes; });
    sink.Prepare();
    ASSERT_TRUE(Settles(sink));
    ASSERT_EQ(sink.Status().state, WayState::Ready);
    const int changesWhenReady = changes;

    switch (GetParam()) {
        case Break::SessionClosed: portal.CloseSessions(); break;
        case Break::KeyCallFails:
            portal.FailKeys();
            EXPECT_FALSE(sink.Send(KeyEvent{'1', false}));
            break;
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

// The way settles for a second after Start answered; a capture that comes
// meanwhile waits for its end and is typed, although the event loop (and
// with it the settling timer) is blocked while it types.
TEST(PortalKeySinkTest, TypesACaptureThatComesWhileSettling) {
    MockPortal portal({});
    PortalKeySink sink("", portal.connection());
    sink.Prepare();
    ASSERT_TRUE(Starts(sink));
    ASSERT_EQ(sink.Status().state, WayState::Preparing);
    SystemClock clock;
    const TypingOutcome outcome = TypeCapture(sink, clock, kCapture);
    EXPECT_TRUE(outcome.typed) << outcome.problem;
    EXPECT_EQ(sink.Status().state, WayState::Ready);
    EXPECT_EQ(portal.Keysyms(), Joined({kStartTap, kCaptureKeysyms}));
}

// Keyboard lights as the kernel lists them, one folder per light.
class Lights {
public:
    void Set(const std::string& name, int brightness) {
        std::filesystem::create_directories(dir_ / name);
        std::ofstream(dir_ / (name + "/brightness")) << brightness << '\n';
    }
    const std::string& Folder() const { return dir_.path(); }
    std::string Brightness(const std::string& name) const {
        return test::ReadFileText(dir_ / (name + "/brightness"));
    }

private:
    test::TempDir dir_;
};

struct LightsCase {
    const char* name;
    std::vector<std::pair<const char*, int>> lights;
    std::optional<bool> capsLock;
};

class PortalLightsTest : public ::testing::TestWithParam<LightsCase> {};

TEST_P(PortalLightsTest, ShowCapsLockWhereTheyAgree) {
    Lights lights;
    for (const auto& [name, brightness] : GetParam().lights) lights.Set(name, brightness);
    MockPortal bus({}, false);
    PortalKeySink sink(PortalPlace{"", "KDE", lights.Folder()}, bus.connection());
    const OperatorKeyboard keyboard = sink.Keyboard();
    EXPECT_EQ(keyboard.capsLock, GetParam().capsLock);
    EXPECT_FALSE(keyboard.heldModifiers) << "the desktop shows no held modifiers";
}

INSTANTIATE_TEST_SUITE_P(
    Lights, PortalLightsTest,
    ::testing::Values(
        LightsCase{"none", {{"input3::numlock", 1}}, std::nullopt},
        LightsCase{"off", {{"input3::capslock", 0}, {"input3::numlock", 1}}, false},
        LightsCase{"on", {{"input3::capslock", 1}}, true},
        LightsCase{"two_keyboards_on", {{"input3::capslock", 1}, {"input7::capslock", 1}}, true},
        LightsCase{"disagree", {{"input3::capslock", 1}, {"input7::capslock", 0}}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// With the operator's Caps Lock on, a capture switches it off through the
// portal, checks the light, types, and switches it on again.
TEST(PortalKeySinkTest, TypesWithCapsLockOffAndPutsItBack) {
    Lights lights;
    lights.Set("input3::capslock", 1);
    MockOptions options;
    options.light = lights.Folder() + "/input3::capslock/brightness";
    MockPortal portal(options);
    PortalKeySink sink(PortalPlace{"", "GNOME", lights.Folder()}, portal.connection());
    sink.Prepare();
    ASSERT_TRUE(Settles(sink));
    SystemClock clock;
    const TypingOutcome outcome = TypeCapture(sink, clock, kCapture);
    EXPECT_TRUE(outcome.typed) << outcome.problem;
    const auto capsLock = Taps({XKB_KEY_Caps_Lock});
    EXPECT_EQ(portal.Keysyms(), Joined({kStartTap, capsLock, kCaptureKeysyms, capsLock}));
    EXPECT_EQ(lights.Brightness("input3::capslock"), "1\n");
}

// A light that does not follow the portal's Caps Lock (it belongs to a
// keyboard the compositor does not drive): nothing is typed, and a second
// press leaves the seat's lock as it was.
TEST(PortalKeySinkTest, TypesNothingWhenTheLightStaysOn) {
    Lights lights;
    lights.Set("input3::capslock", 1);
    MockPortal portal({});
    PortalKeySink sink(PortalPlace{"", "GNOME", lights.Folder()}, portal.connection());
    sink.Prepare();
    ASSERT_TRUE(Settles(sink));
    SystemClock clock;
    const TypingOutcome outcome = TypeCapture(sink, clock, kCapture);
    EXPECT_FALSE(outcome.typed);
    EXPECT_EQ(outcome.problem, text::kCapsLockStuck);
    EXPECT_EQ(portal.Keysyms(), Joined({kStartTap, Taps({XKB_KEY_Caps_Lock, XKB_KEY_Caps_Lock})}));
}

struct PermissionCase {
    const char* desktop;
    int version;
    PortalPermission permission;
};

class PortalPermissionTest : public ::testing::TestWithParam<PermissionCase> {};

// What --check-typing says about a dialog follows the desktop: Plasma does
// not ask a program outside a sandbox, GNOME does.
TEST_P(PortalPermissionTest, FollowsTheDesktop) {
    MockOptions options;
    options.version = GetParam().version;
    MockPortal portal(options);
    PortalKeySink sink(PortalPlace{"", GetParam().desktop}, portal.connection());
    const WayCheck check = sink.Check();
    EXPECT_EQ(sink.Permission(), GetParam().permission);
    const bool saysItAsks = check.reason.find("ptá na svolení") != std::string::npos;
    EXPECT_EQ(saysItAsks, GetParam().permission == PortalPermission::AsksEveryStart)
        << check.reason;
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, PortalPermissionTest,
    ::testing::Values(PermissionCase{"GNOME", 1, PortalPermission::AsksEveryStart},
                      PermissionCase{"ubuntu:GNOME", 2, PortalPermission::AsksOnce},
                      PermissionCase{"KDE", 1, PortalPermission::DoesNotAsk},
                      PermissionCase{"KDE", 2, PortalPermission::DoesNotAsk}));

}  // namespace
}  // namespace vm4417
