#include "PortalKeySink.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>

#include <xkbcommon/xkbcommon-keysyms.h>

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
// never arrived). The way counts as ready only after this pause; a capture
// that comes meanwhile waits for its end.
constexpr std::chrono::milliseconds kSettle{1000};
// How long a Caps Lock press may take to show on the keyboards' lights (the
// bus, the portal, the compositor), and how often they are looked at.
constexpr std::chrono::milliseconds kLightWait{500};
constexpr std::chrono::milliseconds kLightPoll{5};

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

// $XDG_CURRENT_DESKTOP is a list separated by colons ("ubuntu:GNOME").
bool NamesDesktop(const std::string& desktops, const QString& name) {
    const QStringList names = QString::fromStdString(desktops).split(QLatin1Char(':'));
    return names.contains(name, Qt::CaseInsensitive);
}

// The Caps Lock lights of the keyboards the kernel knows ("input3::capslock").
// Nothing when there is none, when one cannot be read, or when they disagree:
// a keyboard the compositor does not drive shows nothing about the seat.
std::optional<bool> CapsLockLight(const std::string& folder) {
    namespace fs = std::filesystem;
    std::optional<bool> lit;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (!entry->path().filename().string().ends_with("::capslock")) continue;
        std::ifstream file(entry->path() / "brightness");
        int brightness = 0;
        if (!(file >> brightness)) return std::nullopt;
        if (lit && *lit != (brightness > 0)) return std::nullopt;
        lit = brightness > 0;
    }
    return error ? std::nullopt : lit;
}

// Waits, bounded, for the Caps Lock lights to show `lit`.
bool CapsLockLightTurns(const std::string& folder, bool lit) {
    const auto deadline = std::chrono::steady_clock::now() + kLightWait;
    while (CapsLockLight(folder) != lit) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kLightPoll);
    }
    return true;
}

std::string_view PermissionText(PortalPermission permission) {
    switch (permission) {
        case PortalPermission::AsksOnce: return text::kPortalRemembers;
        case PortalPermission::DoesNotAsk: return text::kPortalDoesNotAsk;
        case PortalPermission::AsksEveryStart: break;
    }
    return text::kPortalAsksEveryStart;
}

}  // namespace

PortalKeySink::PortalKeySink(PortalPlace place, QObject* parent)
    : PortalKeySink(std::move(place), QDBusConnection::sessionBus(), parent) {}

PortalKeySink::PortalKeySink(std::string restoreTokenFile, QObject* parent)
    : PortalKeySink(PortalPlace{std::move(restoreTokenFile), {}}, parent) {}

PortalKeySink::PortalKeySink(std::string restoreTokenFile, QDBusConnection bus, QObject* parent)
    : PortalKeySink(PortalPlace{std::move(restoreTokenFile), {}}, std::move(bus), parent) {}

PortalKeySink::PortalKeySink(PortalPlace place, QDBusConnection bus, QObject* parent)
    : QObject(parent),
      place_(std::move(place)),
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
    portalVersion_ = properties.value(QStringLiteral("version")).toUInt();
    const uint types = properties.value(QStringLiteral("AvailableDeviceTypes")).toUInt();
    const std::string versionText =
        std::string(text::kPortalVersion) + std::to_string(portalVersion_);
    if ((types & kKeyboard) == 0) return {false, WithWords(text::kPortalNoKeyboard, versionText)};
    return {true, WithWords(PermissionText(Permission()), versionText)};
}

PortalPermission PortalKeySink::Permission() const {
    // Plasma's back end shows its dialog only to sandboxed applications
    // (those with an application id); others get a notification.
    if (NamesDesktop(place_.desktop, QStringLiteral("KDE"))) return PortalPermission::DoesNotAsk;
    return portalVersion_ >= kFirstVersionThatPersists ? PortalPermission::AsksOnce
                                                       : PortalPermission::AsksEveryStart;
}

void PortalKeySink::Prepare() {
    if (status_.state == WayState::Ready || status_.state == WayState::Preparing) return;
    ++generation_;
    StopListeningToRequest();
    CloseSession();
    settlingSince_.reset();
    capsLockSuspended_ = false;
    SetStatus(WayState::Preparing);
    if (!bus_.isConnected()) {
        Fail(WithWords(text::kPortalNoBus, Words(bus_.lastError())));
        return;
    }
    restoreToken_.clear();
    if (!place_.restoreTokenFile.empty()) {
        if (const auto token = ReadRestoreToken(place_.restoreTokenFile)) {
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
    if (!token.isEmpty() && !place_.restoreTokenFile.empty()) {
        restoreToken_ = token;
        if (const auto saved = WriteRestoreToken(place_.restoreTokenFile, token.toStdString());
            !saved.Ok()) {
            note = WithWords(text::kPortalTokenNotSaved, saved.detail);
        }
    }
    WatchBackends();
    // The desktop's side may turn keysyms into keys with a map of its own
    // until the seat's map has reached it: Plasma's back end asks for the
    // seat's map only at the first keysym it ever receives and turns that one
    // with a US map ("0" became "é" under a Czech layout). A Shift press and
    // release, the same key everywhere, types nothing and brings the seat's
    // map in while the way settles.
    if (!TapKeysym(XKB_KEY_Shift_L)) return;
    readyNote_ = note;
    settlingSince_ = std::chrono::steady_clock::now();
    const unsigned generation = generation_;
    QTimer::singleShot(kSettle, this, [this, generation] {
        if (generation == generation_) EndSettling();
    });
}

void PortalKeySink::EndSettling() {
    if (!settlingSince_ || status_.state != WayState::Preparing) return;
    settlingSince_.reset();
    SetStatus(WayState::Ready, std::exchange(readyNote_, {}));
}

// Counted from Start's answer rather than left to the timer: while a capture
// is typed the event loop is blocked and the timer cannot fire.
std::chrono::milliseconds PortalKeySink::SettlingFor() {
    using std::chrono::milliseconds;
    if (!settlingSince_ || status_.state != WayState::Preparing) return milliseconds{0};
    const auto left = kSettle - (std::chrono::steady_clock::now() - *settlingSince_);
    return std::max(std::chrono::ceil<milliseconds>(left), milliseconds{0});
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

bool PortalKeySink::Begin() {
    if (settlingSince_ && SettlingFor().count() == 0) EndSettling();
    return status_.state == WayState::Ready;
}

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
    return SendKeysym(*keysym, !event.keyUp);
}

OperatorKeyboard PortalKeySink::Keyboard() {
    return {std::nullopt, CapsLockLight(place_.ledFolder)};
}

bool PortalKeySink::SuspendLocks() {
    if (!TapKeysym(XKB_KEY_Caps_Lock)) return false;
    if (CapsLockLightTurns(place_.ledFolder, false)) {
        capsLockSuspended_ = true;
        return true;
    }
    // The lights did not follow: the press may still be on its way, or the
    // lock was not what they showed. A second press leaves the lock as it
    // was either way.
    TapKeysym(XKB_KEY_Caps_Lock);
    return false;
}

void PortalKeySink::RestoreLocks() {
    if (!std::exchange(capsLockSuspended_, false)) return;
    // Waits for the lights too, so that a capture right after this one finds
    // them showing the lock as it is.
    if (TapKeysym(XKB_KEY_Caps_Lock)) CapsLockLightTurns(place_.ledFolder, true);
}

bool PortalKeySink::TapKeysym(std::uint32_t keysym) {
    return SendKeysym(keysym, true) && SendKeysym(keysym, false);
}

bool PortalKeySink::SendKeysym(std::uint32_t keysym, bool down) {
    QDBusMessage message = PortalCall(kRemoteDesktop, QStringLiteral("NotifyKeyboardKeysym"));
    message << QVariant::fromValue(QDBusObjectPath(sessionPath_)) << QVariantMap()
            << static_cast<int>(keysym) << static_cast<uint>(down ? 1 : 0);
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
    settlingSince_.reset();
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
