#pragma once
// A key sink for the benchmarks that measure everything but the typing:
// it takes every event at once, or refuses every capture, and sees no
// keyboard.

#include "KeySink.h"

namespace vm4417::bench {

class FixedKeySink final : public KeySink {
public:
    explicit FixedKeySink(bool accepts) : accepts_(accepts) {}

    bool Begin() override { return accepts_; }
    bool Send(const KeyEvent&) override { return accepts_; }
    void SetExactCharacters(bool) override {}
    std::string Problem() const override { return {}; }
    std::chrono::milliseconds SettlingFor() override { return std::chrono::milliseconds{0}; }
    OperatorKeyboard Keyboard() override { return {}; }
    bool SuspendLocks() override { return true; }
    void RestoreLocks() override {}
    KeyTarget Target() override { return {}; }
    OperatorKeys HoldOperatorKeys() override { return OperatorKeys::Unseen; }
    int OperatorKeysSeen() override { return 0; }
    OperatorKeysOutcome ReleaseOperatorKeys(bool) override { return {}; }

private:
    bool accepts_;
};

}  // namespace vm4417::bench
