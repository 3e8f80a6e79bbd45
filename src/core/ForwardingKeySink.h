#pragma once
// A key sink that hands every call on to another one: the forwarding is
// written once, here, and a sink built on it overrides only what it adds to
// (the choice among the ways of typing, a sink that takes times). KeySink
// declares every call abstract, so a call added there and left out here
// stops the build instead of falling to a silent default.

#include "KeySink.h"

namespace vm4417 {

class ForwardingKeySink : public KeySink {
public:
    bool Begin() override { return Inner().Begin(); }
    bool Send(const KeyEvent& event) override { return Inner().Send(event); }
    void SetExactCharacters(bool exact) override { Inner().SetExactCharacters(exact); }
    std::string Problem() const override { return Inner().Problem(); }
    std::chrono::milliseconds SettlingFor() override { return Inner().SettlingFor(); }
    OperatorKeyboard Keyboard() override { return Inner().Keyboard(); }
    bool SuspendLocks() override { return Inner().SuspendLocks(); }
    void RestoreLocks() override { Inner().RestoreLocks(); }
    KeyTarget Target() override { return Inner().Target(); }
    OperatorKeys HoldOperatorKeys() override { return Inner().HoldOperatorKeys(); }
    int OperatorKeysSeen() override { return Inner().OperatorKeysSeen(); }
    OperatorKeysOutcome ReleaseOperatorKeys(bool deliver) override {
        return Inner().ReleaseOperatorKeys(deliver);
    }

protected:
    // The sink that receives the calls now; it may change between captures.
    virtual KeySink& Inner() const = 0;
};

}  // namespace vm4417
