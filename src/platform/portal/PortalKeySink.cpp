#include "PortalKeySink.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QTimer>
#include <utility>

#include "RestoreToken.h"
#include "Texts.h"
#include "typing/ShiftedKeysyms.h"

namespace vm4417 {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kObject = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRemoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
// The desktop's own halves of the portal (…desktop.gnome, …desktop.kde).
const QString kBackendPrefix = QStringLiteral("org.freedesktop.impl.portal.desktop.");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

constexpr uint kKeyboard = 1;  // AvailableDeviceTypes / types: bit 0
constexpr uint kPersistUntilRevoked = 2;
constexpr uint kFirstVersionThatPersists = 2;
constexpr uint kResponseSuccess = 0;

// D-Bus activation may have to start the portal and its desktop back end.
constexpr int kCheckTimeoutMs = 5000;
// The calls themselves only register a request; the operator's answer
// comes later, as a signal, and has no time limit.
constexpr int kCallTimeoutMs = 10000;
// One key event: the portal hands it on to the compositor without waiting.
constexpr int kSendTimeoutMs = 1000;
// The compositor adds the session's keyboard to its seat a moment after
// Start has answered; keys sent before are answered as done and go nowhere
// (mutter 43: a whole capture typed a fraction of a second after the answer
// never arrived). The way counts as ready only after this pause, so that a
// capture in it is listed with the keyboard error instead of lost unseen.
constexpr int kSettleMs = 1000;

std::string Words(const QDBusError& error) {
    return (error.name() + QStringLiteral(": ") + error.message()).toStdString();
}

std::string WithWords(std::string_view text, const std::string& words) {
    std::string result(text);
    if (!words.empty()) result += " (" + words + ")";
    return result;
}

QDBusMessage PortalCall(const QString& interface, const QString& method) {
    return QDBusMessage::createMethodCall(kService, kObject, interface, method);
}

QDBusMessage AskAllProperties() {
    QDBusMessage message = PortalCall(kProperties, QStringLiteral("GetAll"));
    message << kRemoteDesktop;
    return message;
}

// The path of the request object the portal makes for `token`: the caller's
// unique name without its colon, dots turned into underscores.
QString PredictedRequestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService();
    sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
    return kObject + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

}  // namespace

PortalKeySink::PortalKeySink(std::string restoreTokenFile, QObject* parent)
    : PortalKeySink(std::move(restoreTokenFile), QDBusConnection::sessionBus(), parent) {}

PortalKeySink::PortalKeySink(std::string restoreTokenFile, QDBusConnection bus, QObject* parent)
    : QObject(parent),
      tokenFile_(std::move(restoreTokenFile)),
      bus_(std::move(bus)),
      portalWatcher_(kService, bus_, QDBusServiceWatcher::WatchForUnregistration),
      backendWatcher_(QString(), bus_, QDBusServiceWatcher::WatchForUnregistration) {
    connect(&portalWatcher_, &QDBusServiceWatcher::serviceUnregistered, this,
            &PortalKeySink::OnPortalGone);
    // A back end that leaves takes the desktop's side of the session with it,
    // and the portal does not say so: its key calls keep succeeding while
    // the keys go nowhere (seen with GNOME's back end, which D-Bus
    // activation then starts afresh, knowing no session).
    connect(&backendWatcher_, &QDBusServiceWatcher::serviceUnregistered, this,
            &PortalKeySink::OnPortalGone);
}

PortalKeySink::~PortalKeySink() {
    StopListeningToRequest();
    CloseSession();
}

std::string PortalKeySink::Name() const { return "RemoteDesktop portal"; }

WayCheck PortalKeySink::Check() {
    if (!bus_.isConnected()) return {false, WithWords(text::kPortalNoBus, Words(bus_.lastError()))};
    const QDBusMessage reply = bus_.call(AskAllProperties(), QDBus::Block, kCheckTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return {false, WithWords(text::kPortalMissing, Words(QDBusError(reply)))};
    }
    const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    if (!properties.contains(QStringLiteral("version"))) {
        return {false, std::string(text::kPortalMissing)};
    }
    const uint version = properties.value(QStringLiteral("version")).toUInt();
    const uint types = properties.value(QStringLiteral("AvailableDeviceTypes")).toUInt();
    const std::string versionText = std::string(text::kPortalVersion) + std::to_string(version);
    if ((types & kKeyboard) == 0) return {false, WithWords(text::kPortalNoKeyboard, versionText)};
    const auto reach =
        version >= kFirstVersionThatPersists ? text::kPortalRemembers : text::kPortalAsksEveryStart;
    return {true, WithWords(reach, versionText)};
}

void PortalKeySink::Prepare() {
    if (status_.state == WayState::Ready || status_.state == WayState::Preparing) return;
    ++generation_;
    StopListeningToRequest();
    CloseSession();
    SetStatus(WayState::Preparing);
    if (!bus_.isConnected()) {
        Fail(WithWords(text::kPortalNoBus, Words(bus_.lastError())));
        return;
    }
    restoreToken_.clear();
    if (!tokenFile_.empty()) {
        if (const auto token = ReadRestoreToken(tokenFile_)) {
            restoreToken_ = QString::fromStdString(*token);
        }
    }
    AskProperties();
}

// The version decides whether SelectDevices may carry persist_mode: a
// version 1 portal knows no such option.
void PortalKeySink::AskProperties() {
    const unsigned generation = generation_;
    auto* watcher =
        new QDBusPendingCallWatcher(bus_.asyncCall(AskAllProperties(), kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (generation != generation_) return;
                const QDBusPendingReply<QVariantMap> reply = *call;
                if (reply.isError()) {
                    Fail(WithWords(text::kPortalMissing, Words(reply.error())));
                    return;
                }
                OnProperties(reply.value());
            });
}

void PortalKeySink::OnProperties(const QVariantMap& properties) {
    portalVersion_ = properties.value(QStringLiteral("version")).toUInt();
    const uint types = properties.value(QStringLiteral("AvailableDeviceTypes")).toUInt();
    if ((types & kKeyboard) == 0) {
        Fail(std::string(text::kPortalNoKeyboard));
        return;
    }
    CreateSession();
}

void PortalKeySink::CreateSession() {
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"),
                   QStringLiteral("vm4417_session_%1").arg(++tokenCounter_));
    Request(QStringLiteral("CreateSession"), {}, options, &PortalKeySink::OnSessionCreated);
}

void PortalKeySink::OnSessionCreated(const QVariantMap& results) {
    sessionPath_ = results.value(QStringLiteral("session_handle")).toString();
    if (sessionPath_.isEmpty()) {
        Fail("CreateSession: no session_handle");
        return;
    }
    bus_.connect(kService, sessionPath_, kSession, QStringLiteral("Closed"), this,
                 SLOT(OnSessionClosed()));
    SelectDevices();
}

void PortalKeySink::SelectDevices() {
    QVariantMap options;
    options.insert(QStringLiteral("types"), kKeyboard);
    if (portalVersion_ >= kFirstVersionThatPersists) {
        options.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
        if (!restoreToken_.isEmpty())
            options.insert(QStringLiteral("restore_token"), restoreToken_);
    }
    Request(QStringLiteral("SelectDevices"), {QVariant::fromValue(QDBusObjectPath(sessionPath_))},
            options, &PortalKeySink::OnDevicesSelected);
}

void PortalKeySink::OnDevicesSelected(const QVariantMap&) { StartSession(); }

void PortalKeySink::StartSession() {
    // No parent window: the dialog is the desktop's own, centred on screen.
    Request(QStringLiteral("Start"),
            {QVariant::fromValue(QDBusObjectPath(sessionPath_)), QString()}, {},
            &PortalKeySink::OnStarted);
}

void PortalKeySink::OnStarted(const QVariantMap& results) {
    if ((results.value(QStringLiteral("devices")).toUInt() & kKeyboard) == 0) {
        Fail(std::string(text::kPortalNoKeyboard));
        return;
    }
    std::string note;
    const QString token = results.value(QStringLiteral("restore_token")).toString();
    if (!token.isEmpty() && !tokenFile_.empty()) {
        restoreToken_ = token;
        if (const auto saved = WriteRestoreToken(tokenFile_, token.toStdString()); !saved.Ok()) {
            note = WithWords(text::kPortalTokenNotSaved, saved.detail);
        }
    }
    WatchBackends();
    const unsigned generation = generation_;
    QTimer::singleShot(kSettleMs, this, [this, generation, note] {
        if (generation != generation_ || status_.state != WayState::Preparing) return;
        SetStatus(WayState::Ready, note);
    });
}

// The back ends running now are the ones that hold the session's desktop
// side; one that starts later holds nothing of it.
void PortalKeySink::WatchBackends() {
    QStringList backends;
    const QDBusReply<QStringList> names = bus_.interface()->registeredServiceNames();
    for (const QString& name : names.value()) {
        if (name.startsWith(kBackendPrefix)) backends << name;
    }
    backendWatcher_.setWatchedServices(backends);
}

void PortalKeySink::Request(const QString& method, QVariantList arguments, QVariantMap options,
                            ResultHandler done) {
    onResult_ = done;
    const QString token = QStringLiteral("vm4417_%1").arg(++tokenCounter_);
    options.insert(QStringLiteral("handle_token"), token);
    // Listening first: the portal may answer before its reply to the call
    // itself has been read here.
    const QString predicted = PredictedRequestPath(bus_, token);
    ListenToRequest(predicted);

    QDBusMessage message = PortalCall(kRemoteDesktop, method);
    arguments << options;
    message.setArguments(arguments);
    const unsigned generation = generation_;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation, method, predicted](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (generation != generation_) return;
                const QDBusPendingReply<QDBusObjectPath> reply = *call;
                if (reply.isError()) {
                    Fail(method.toStdString() + ": " + Words(reply.error()));
                    return;
                }
                // The answer may have come before this reply, and set-up
                // moved on. If not, and the portal chose a path of its own
                // (portals older than the handle_token option do), the
                // answer cannot have come yet: nobody knew where to listen.
                if (requestPath_ != predicted) return;
                if (const QString path = reply.value().path(); path != predicted) {
                    ListenToRequest(path);
                }
            });
}

void PortalKeySink::ListenToRequest(const QString& path) {
    StopListeningToRequest();
    requestPath_ = path;
    bus_.connect(kService, requestPath_, kRequest, QStringLiteral("Response"), this,
                 SLOT(OnResponse(uint, QVariantMap)));
}

void PortalKeySink::StopListeningToRequest() {
    if (requestPath_.isEmpty()) return;
    bus_.disconnect(kService, requestPath_, kRequest, QStringLiteral("Response"), this,
                    SLOT(OnResponse(uint, QVariantMap)));
    requestPath_.clear();
}

void PortalKeySink::OnResponse(uint response, const QVariantMap& results) {
    if (!calledFromDBus() || message().path() != requestPath_) return;
    StopListeningToRequest();
    const ResultHandler done = std::exchange(onResult_, nullptr);
    if (done == nullptr || status_.state != WayState::Preparing) return;
    if (response != kResponseSuccess) {
        // 1: the operator cancelled; 2: the desktop ended the request
        // otherwise (its dialog closed, a policy). Either way: not now.
        ++generation_;
        CloseSession();
        SetStatus(WayState::Refused,
                  WithWords(text::kPortalRefused, "Response " + std::to_string(response)));
        return;
    }
    (this->*done)(results);
}

void PortalKeySink::OnSessionClosed() {
    if (!calledFromDBus() || message().path() != sessionPath_) return;
    sessionPath_.clear();  // the portal has let it go already
    if (status_.state == WayState::Ready || status_.state == WayState::Preparing) {
        Fail(WithWords(text::kPortalClosed, (kSession + QStringLiteral(".Closed")).toStdString()));
    }
}

void PortalKeySink::OnPortalGone(const QString& service) {
    if (status_.state == WayState::Ready || status_.state == WayState::Preparing) {
        Fail(WithWords(text::kPortalGone, service.toStdString()));
    }
}

bool PortalKeySink::Begin() { return status_.state == WayState::Ready; }

bool PortalKeySink::Send(const KeyEvent& event) {
    if (status_.state != WayState::Ready) return false;
    // The keysym names the character itself, level included, and the
    // compositor picks a key and the modifiers that give it in the active
    // layout. A Shift sent along would stay down through that choice and
    // move the digits of layouts like the Czech one to their other level, so
    // Shift is taken and goes nowhere.
    if (event.virtualKey == vk::Shift) return true;
    const auto keysym = ShiftedKeysym(event.virtualKey);
    if (!keysym) return false;

    QDBusMessage message = PortalCall(kRemoteDesktop, QStringLiteral("NotifyKeyboardKeysym"));
    message << QVariant::fromValue(QDBusObjectPath(sessionPath_)) << QVariantMap()
            << static_cast<int>(*keysym) << static_cast<uint>(event.keyUp ? 0 : 1);
    const QDBusMessage reply = bus_.call(message, QDBus::Block, kSendTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
    // A key that went down stays down in the compositor until the session
    // ends; closing it is the one release that does not depend on this call
    // path working.
    Fail("NotifyKeyboardKeysym: " + Words(QDBusError(reply)));
    return false;
}

void PortalKeySink::SetStatus(WayState state, std::string detail) {
    status_ = {state, std::move(detail)};
    NotifyStatus();
}

void PortalKeySink::Fail(const std::string& detail) {
    ++generation_;
    StopListeningToRequest();
    onResult_ = nullptr;
    CloseSession();
    SetStatus(WayState::Failed, detail);
}

void PortalKeySink::CloseSession() {
    if (sessionPath_.isEmpty()) return;
    bus_.disconnect(kService, sessionPath_, kSession, QStringLiteral("Closed"), this,
                    SLOT(OnSessionClosed()));
    // Not waited for: the portal also closes the session when this program
    // leaves the bus.
    bus_.send(
        QDBusMessage::createMethodCall(kService, sessionPath_, kSession, QStringLiteral("Close")));
    sessionPath_.clear();
}

}  // namespace vm4417
