#pragma once
// Key events for the focused application through SendInput, by virtual-key
// code. Windows refuses input for a locked desktop (SendInput then accepts
// fewer events than given, and the sink reports the failure) and silently
// drops it for a program of higher integrity (an application run as
// administrator), which Begin() finds out beforehand. Target() tells where
// the next key would go: the foreground window, and whether it is this
// program's own or a locked screen has the input. It is asked before every
// key-down, so only its first look after Begin() reads everything (the
// foreground window's process and the input desktop too); later looks read
// the foreground window and the notified lock, and everything again when
// another window (or none) is in front (see win32::TargetLooks). From the
// first key to the last, the operator's own keys are held back and sent
// after the capture's Enter (see win32::OperatorKeyHold).

#include <windows.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "KeySink.h"
#include "win32/ForegroundIntegrity.h"
#include "win32/ForegroundTarget.h"
#include "win32/OperatorKeyHold.h"

namespace vm4417 {

// The operator's keyboard is the system's asynchronous key state (held Ctrl,
// Alt, Windows keys, AltGr and Shift, whichever keyboard they are on) and the Caps
// Lock toggle. Caps Lock is switched off for a capture by a Caps Lock key
// press of its own, which the target application receives like the
// operator's (applications make no text of it), and switched back on by
// another one after the capture.
class SendInputKeySink final : public KeySink {
public:
    explicit SendInputKeySink(win32::IntegrityQuery integrity = win32::ReadIntegrity,
                              win32::TargetQuery target = win32::TargetReader());

    // False, with the reason in Problem(), when the foreground application
    // runs at a higher integrity level and would never receive the keys.
    bool Begin() override;
    bool Send(const KeyEvent& event) override;
    // With exact characters on, the layout of the foreground window's
    // thread decides: each key's character goes to the key and the Shift,
    // Ctrl and Alt that give it there (VkKeyScanExW), or as the character
    // itself (KEYEVENTF_UNICODE) where the layout has no key for it.
    void SetExactCharacters(bool exact) override { exact_ = exact; }
    std::string Problem() const override { return problem_; }
    // Ready at once: nothing to settle.
    std::chrono::milliseconds SettlingFor() override { return std::chrono::milliseconds{0}; }
    OperatorKeyboard Keyboard() override;
    bool SuspendLocks() override;
    void RestoreLocks() override;
    KeyTarget Target() override { return win32::KeyTargetOf(looks_.Look()); }
    // A low-level keyboard hook, on a thread of its own, for one capture
    // (see win32::OperatorKeyHold): Held once it is in place, Unseen when
    // Windows refused it. Every event this sink sends is tagged, so that the
    // hook lets it pass.
    OperatorKeys HoldOperatorKeys() override;
    int OperatorKeysSeen() override { return hold_ ? hold_->Presses() : 0; }
    // Removes the hook after sending what it held, when the typing says so:
    // first the modifiers the operator held at the hold and the capture let
    // go of, then the held events in one SendInput call each batch, each
    // call's count checked (see win32::HeldKeysReplay).
    OperatorKeysOutcome ReleaseOperatorKeys(bool deliver) override;

private:
    bool SendKey(WORD virtualKey, WORD scanCode, bool keyUp);
    bool SendCharacter(const KeyEvent& event);
    bool SendUnicode(wchar_t character, bool keyUp);

    win32::IntegrityQuery integrity_;
    win32::TargetLooks looks_;
    bool exact_ = false;
    HKL layout_ = nullptr;  // the target's layout, read at Begin()
    std::string problem_;
    // Keys this sink pressed and has not released, so that a refusal can
    // release them all.
    std::set<std::uint8_t> down_;
    bool capsLockSuspended_ = false;  // SuspendLocks() switched Caps Lock off
    // The hold of the capture being typed, and the modifiers down as it began.
    std::unique_ptr<win32::OperatorKeyHold> hold_;
    std::uint8_t modifiersAtHold_ = 0;
};

}  // namespace vm4417
