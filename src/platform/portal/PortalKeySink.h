#pragma once
// Typing through the desktop's RemoteDesktop portal
// (org.freedesktop.portal.RemoteDesktop on the session bus), the way GNOME
// and KDE Plasma offer to native Wayland applications: a keyboard-only
// remote-desktop session that the operator allows once, then one keysym
// call per key event.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "typing/TypingWay.h"

namespace vm4417 {

// Whether the desktop shows a permission dialog when the session starts:
// GNOME asks (at every start, or once where the portal keeps a restore
// token); KDE Plasma does not ask a program that runs outside a sandbox and
// only announces that remote control started.
enum class PortalPermission { AsksEveryStart, AsksOnce, DoesNotAsk };

// What the sink knows of its surroundings besides the bus.
struct PortalPlace {
    // Keeps the desktop's permission between runs where the portal supports
    // that; its folder is created when the token is first written. Empty:
    // keeps nothing.
    std::string restoreTokenFile;
    // $XDG_CURRENT_DESKTOP, the names the portal itself chooses its desktop
    // back end by ("GNOME", "KDE", "ubuntu:GNOME").
    std::string desktop;
    // Where the kernel lists the keyboards' lights, Caps Lock among them.
    std::string ledFolder = "/sys/class/leds";
};

// Set-up runs from the event loop: CreateSession, SelectDevices (keyboard
// only; from portal version 2 on with persist_mode 2 and the restore token
// kept from the last time), Start. Start shows the desktop's permission
// dialog unless a restore token lets the desktop skip it. Every answer comes
// as a Response signal on a request object whose path the caller can
// predict; the sink listens there before it makes each call, so that an
// answer cannot arrive unheard.
//
// Refused: the operator cancelled the dialog, or the desktop declined.
// Failed: a call failed, the portal or a desktop back end of it left the
// bus, or the desktop closed the session. Neither is left by itself; the next Prepare() starts
// anew.
//
// A restore token that could not be written leaves the sink Ready, with the
// reason in Status().detail; the desktop then asks again at the next start.
//
// Once Start has answered, the way settles for a second before it counts as
// Ready; SettlingFor() tells how much of it is left, counted from the answer,
// so a capture that comes meanwhile waits and is typed.
//
// The operator's keyboard: the desktop merges every keyboard's modifiers and
// locks into one seat state and shows it only to the application with the
// focus. What the sink can see is the Caps Lock light, which the compositor
// keeps in step with the seat's lock on every keyboard that has one; it
// switches the lock off for a capture by sending Caps Lock itself. Held
// modifiers stay unknown.
//
// Meant for the UI thread. Send() blocks until the portal has taken the
// event (bounded); set-up never blocks on the operator.
class PortalKeySink final : public QObject, public TypingWay, protected QDBusContext {
    Q_OBJECT

public:
    // On the session bus.
    explicit PortalKeySink(PortalPlace place, QObject* parent = nullptr);
    // The same on a bus of the caller's choice.
    PortalKeySink(PortalPlace place, QDBusConnection bus, QObject* parent = nullptr);
    // No desktop named, the lights where the kernel keeps them.
    explicit PortalKeySink(std::string restoreTokenFile, QObject* parent = nullptr);
    PortalKeySink(std::string restoreTokenFile, QDBusConnection bus, QObject* parent = nullptr);
    ~PortalKeySink() override;

    std::string Name() const override;
    // Asks the portal (starting it through D-Bus activation if need be) for
    // its RemoteDesktop version and device types; waits a few seconds at most.
    WayCheck Check() override;
    void Prepare() override;
    WayStatus Status() const override { return status_; }
    // What the desktop does about permission, as far as the last Check() or
    // Prepare() learnt the portal's version.
    PortalPermission Permission() const;

    bool Begin() override;
    bool Send(const KeyEvent& event) override;
    // Keysyms are characters already: the option changes nothing here.
    void SetExactCharacters(bool) override {}
    // What broke is told through Status() when it happens.
    std::string Problem() const override { return {}; }
    std::chrono::milliseconds SettlingFor() override;
    // Caps Lock as the keyboards' lights show it; held modifiers unknown.
    OperatorKeyboard Keyboard() override;
    // Caps Lock through the portal, each press checked against the lights.
    bool SuspendLocks() override;
    void RestoreLocks() override;
    // The desktop shows a client neither another client's focus nor its lock
    // screen; the session's lock comes from logind, beside the way.
    KeyTarget Target() override { return {}; }
    // A Wayland client sees no other keyboard than its own.
    OperatorKeys HoldOperatorKeys() override { return OperatorKeys::Unseen; }
    int OperatorKeysSeen() override { return 0; }
    OperatorKeysOutcome ReleaseOperatorKeys(bool) override { return {}; }

private Q_SLOTS:
    void OnResponse(uint response, const QVariantMap& results);
    void OnSessionClosed();
    void OnPortalGone(const QString& service);

private:
    using ResultHandler = void (PortalKeySink::*)(const QVariantMap&);

    void AskProperties();
    void CreateSession();
    void SelectDevices();
    void StartSession();

    void OnProperties(const QVariantMap& properties);
    void OnSessionCreated(const QVariantMap& results);
    void OnDevicesSelected(const QVariantMap& results);
    void OnStarted(const QVariantMap& results);
    void WatchBackends();
    void EndSettling();
    bool TapKeysym(std::uint32_t keysym);
    bool SendKeysym(std::uint32_t keysym, bool down);

    // Calls a portal method that answers through a request object; `done`
    // runs with the results of a successful Response.
    void Request(const QString& method, QVariantList arguments, QVariantMap options,
                 ResultHandler done);
    void ListenToRequest(const QString& path);
    void StopListeningToRequest();

    void SetStatus(WayState state, std::string detail = {});
    void Fail(const std::string& detail);
    void CloseSession();

    PortalPlace place_;
    QDBusConnection bus_;
    WayStatus status_;
    ResultHandler onResult_ = nullptr;
    QString requestPath_;   // the request being answered, if any
    QString sessionPath_;   // the portal session, once created
    QString restoreToken_;  // from the token file or the last Start
    uint portalVersion_ = 0;
    unsigned tokenCounter_ = 0;
    // Bumped when set-up starts anew or gives up; a reply to an older call
    // then finds a different value and is dropped.
    unsigned generation_ = 0;
    // When Start answered, while the way settles; what Ready will say.
    std::optional<std::chrono::steady_clock::time_point> settlingSince_;
    std::string readyNote_;
    bool capsLockSuspended_ = false;
    QDBusServiceWatcher portalWatcher_;
    QDBusServiceWatcher backendWatcher_;
};

}  // namespace vm4417
