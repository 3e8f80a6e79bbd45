#pragma once
// Key events for the focused application through SendInput, by virtual-key
// code. Windows refuses input for a program of higher integrity (an elevated
// window has the focus) or a locked desktop; SendInput then accepts fewer
// events than given, and the sink reports the failure.

#include <set>

#include "KeySink.h"

namespace vm4417 {

class SendInputKeySink final : public KeySink {
public:
    bool Begin() override;
    bool Send(const KeyEvent& event) override;

private:
    // Keys this sink pressed and has not released, so that a refusal can
    // release them all.
    std::set<std::uint8_t> down_;
};

}  // namespace vm4417
