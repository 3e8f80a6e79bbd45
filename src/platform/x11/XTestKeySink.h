#pragma once
// Keystrokes for the focused X11 application, injected through the XTest
// extension of the X server.

#include <memory>
#include <optional>
#include <string>

#include "typing/TypingWay.h"
#include "x11/FocusTarget.h"
#include "x11/OperatorKeyGrab.h"

namespace vm4417 {

struct KeyChord;  // x11/KeyLevels.h

// Each Windows virtual-key code goes to the key that carries it on a Windows
// keyboard, looked up in the server's current keyboard map: the digit row,
// the letter keys, Space, Return, left Shift and the keypad minus (the
// codes of KeySink.h). Events are sent as given: no modifier is added or
// released behind the caller's back.
//
// The operator's keyboard is the X server's keyboard state (XKB), which
// merges every keyboard of the core device: held modifiers are seen, and
// Caps Lock and Shift Lock are switched off for a capture by locking the
// modifiers anew (no key event reaches the application) and put back after.
//
// Where the keys go is read on a connection of its own (x11::FocusWatch):
// the focused top-level window, whether it is this process's, and a locked
// screen or another program holding the keyboard.
//
// A missing display, a server without XTest or a server that goes away never
// ends the process; Begin() and Send() return false instead, and a later
// Begin() connects again. Meant for one thread (the UI thread).
//
// As a way of typing it is always ready; its set-up only starts the look at
// where the keys go, and each capture's Begin() connects anew when the
// server went away.
class XTestKeySink final : public TypingWay {
public:
    // An empty name means the display named by $DISPLAY.
    explicit XTestKeySink(std::string displayName = {});
    ~XTestKeySink() override;

    XTestKeySink(const XTestKeySink&) = delete;
    XTestKeySink& operator=(const XTestKeySink&) = delete;

    // Connects when not connected (or when the old connection broke), checks
    // for XTest and looks up the keys used by the typing in the current map.
    bool Begin() override;
    // Injects one key press or release and waits until the server has taken
    // it. False for a virtual-key code without a key, before a successful
    // Begin(), and when the server refused the event or is gone.
    bool Send(const KeyEvent& event) override;
    // With exact characters on, each key's character (ShiftedKeysym()) goes
    // to the key and level that give it in the map and group in force, read
    // anew at each Begin(); a character no key gives is put on a spare key
    // until the next Begin() (or the end of the connection), which takes it
    // off again.
    void SetExactCharacters(bool exact) override { exact_ = exact; }
    // Why the last Begin() failed: no X server, no XTest, a key the layout
    // lacks (and that "Přesné znaky" would do without).
    std::string Problem() const override { return problem_; }
    // Ready at once: nothing to settle.
    std::chrono::milliseconds SettlingFor() override { return std::chrono::milliseconds{0}; }
    // Nothing seen without a connection or without XKB on the server.
    OperatorKeyboard Keyboard() override;
    bool SuspendLocks() override;
    void RestoreLocks() override;
    // No round trip while nothing changes on the X server's windows; a few
    // when something does (see x11::FocusWatch).
    KeyTarget Target() override;
    // The operator's keyboards are grabbed for the capture and their keys
    // sent again after it when the typing says so (see x11::OperatorKeyGrab).
    OperatorKeys HoldOperatorKeys() override { return hold_.Hold(); }
    int OperatorKeysSeen() override { return hold_.Seen(); }
    OperatorKeysOutcome ReleaseOperatorKeys(bool deliver) override {
        return hold_.Release(deliver);
    }

    // The look at where the keys go, for the event loop (see
    // x11::FocusWatch::Descriptor()).
    x11::FocusWatch& Watch() { return look_; }

    // TypingWay
    std::string Name() const override { return "XTest"; }
    // Whether the display opens, has XTest and every key the typing uses.
    WayCheck Check() override;
    // Starts the look at where the keys go, so that it follows the X server
    // from now on rather than from the first capture (see
    // x11::FocusWatch::Start()).
    void Prepare() override { look_.Start(); }
    WayStatus Status() const override { return {WayState::Ready, {}}; }

private:
    struct Connection;  // the display and the keycodes looked up on it

    bool Connect();
    void Disconnect();
    bool Fake(unsigned char keycode, bool press);
    bool SendCharacter(const KeyEvent& event);
    std::optional<KeyChord> FindOrMapKey(unsigned long keysym);
    void UnmapSpares();

    std::string displayName_;
    std::unique_ptr<Connection> connection_;
    x11::FocusWatch look_;
    x11::OperatorKeyGrab hold_;
    unsigned int suspendedLocks_ = 0;  // modifier masks SuspendLocks() unlocked
    std::string problem_;
    bool exact_ = false;
};

}  // namespace vm4417
