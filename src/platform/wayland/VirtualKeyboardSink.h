#pragma once
// Keystrokes for the focused application of a Wayland session, through a
// virtual keyboard of the compositor (zwp_virtual_keyboard_manager_v1, which
// wlroots compositors offer: sway, Hyprland, labwc, river, Wayfire). Native
// Wayland applications and the X applications under Xwayland receive them
// alike.

#include <memory>
#include <string>

#include "typing/TypingWay.h"
#include "wayland/SwayFocus.h"

namespace vm4417 {

// The keyboard carries a keymap of its own: one key per character the typing
// uses, each with the keysym ShiftedKeysym() gives, so the same characters
// arrive whatever layout the operator has: in native clients, and in X
// clients too, as Xwayland takes the keymap of each keyboard that becomes
// the seat's active one. The keyboard's modifiers and locks are its own, so
// Ctrl held or Caps Lock on at the operator's keyboard do not reach its keys.
// It is created once by Prepare() and kept, with its connection, until the
// sink is destroyed or the connection breaks; nothing connects again behind
// the caller's back.
//
// Where the keys go is what sway's IPC shows (SwayFocus): the focused window,
// and a locker or launcher that holds the keyboard instead of any window.
// Other compositors show nothing of it to a client.
//
// A missing compositor, one without the protocol and one that goes away never
// end the process: Check(), Prepare() and Send() report it. Every wait on the
// compositor is bounded. Meant for one thread (the UI thread).
class VirtualKeyboardSink final : public TypingWay {
public:
    // An empty name means the display named by $WAYLAND_DISPLAY.
    explicit VirtualKeyboardSink(std::string displayName = {});
    ~VirtualKeyboardSink() override;

    VirtualKeyboardSink(const VirtualKeyboardSink&) = delete;
    VirtualKeyboardSink& operator=(const VirtualKeyboardSink&) = delete;

    std::string Name() const override;
    // Connects on a connection of its own, looks for the virtual-keyboard
    // manager and a seat, and lets go again.
    WayCheck Check() override;
    // Creates the keyboard, uploads its keymap and waits until the compositor
    // has taken both; Ready or Failed when it returns. Keeps a Ready keyboard
    // whose connection still works; otherwise starts anew.
    void Prepare() override;
    WayStatus Status() const override { return status_; }

    // True while Ready and the compositor still answers (a bounded round
    // trip, which also takes in what it sent meanwhile).
    bool Begin() override;
    // Presses or releases the key of one virtual-key code and flushes it.
    // Shift sets or clears the keyboard's Shift modifier. False for a
    // key the keymap lacks, before Prepare() made the way Ready, and when
    // the connection broke, which makes the way Failed.
    bool Send(const KeyEvent& event) override;
    // The keymap's keys carry the characters themselves: the option changes
    // nothing here.
    void SetExactCharacters(bool) override {}
    // What broke is told through Status() when it happens.
    std::string Problem() const override { return {}; }
    // Prepare() returns only once the keyboard is ready.
    std::chrono::milliseconds SettlingFor() override { return std::chrono::milliseconds{0}; }
    // The keyboard's modifiers and locks are its own: the operator's held
    // keys and Caps Lock never reach its keys, so there is nothing to see.
    OperatorKeyboard Keyboard() override { return {}; }
    bool SuspendLocks() override { return true; }
    void RestoreLocks() override {}
    KeyTarget Target() override;
    // A Wayland client sees no other keyboard than its own.
    OperatorKeys HoldOperatorKeys() override { return OperatorKeys::Unseen; }
    int OperatorKeysSeen() override { return 0; }
    OperatorKeysOutcome ReleaseOperatorKeys(bool) override { return {}; }

private:
    struct Connection;  // the display, the keyboard and the keycode table

    void SetStatus(WayState state, std::string detail = {});
    void Fail(std::string detail);

    std::string displayName_;
    SwayFocus sway_ = SwayFocus::FromEnvironment();
    std::unique_ptr<Connection> connection_;
    WayStatus status_;
};

}  // namespace vm4417
