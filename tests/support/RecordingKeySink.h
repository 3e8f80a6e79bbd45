#pragma once
// A key sink that keeps every event with the (fake) time it was sent.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "Clock.h"
#include "KeySink.h"

namespace vm4417::test {

class RecordingKeySink final : public KeySink {
public:
    explicit RecordingKeySink(Clock& clock) : clock_(clock) {}

    bool Begin() override {
        ++begins;
        if (onBegin) onBegin();
        return available;
    }
    bool Send(const KeyEvent& event) override {
        if (failAfter >= 0 && static_cast<int>(events.size()) >= failAfter) {
            rejected.push_back(event);
            return false;
        }
        events.push_back(event);
        times.push_back(clock_.Now());
        return true;
    }

    void SetExactCharacters(bool on) override { exact = on; }
    std::string Problem() const override { return problem; }
    std::chrono::milliseconds SettlingFor() override { return settling; }
    OperatorKeyboard Keyboard() override {
        ++looks;
        return keyboard ? keyboard() : OperatorKeyboard{};
    }
    bool SuspendLocks() override {
        lockCalls.push_back({"suspend", events.size()});
        return locksGiveWay;
    }
    void RestoreLocks() override { lockCalls.push_back({"restore", events.size()}); }
    KeyTarget Target() override { return target ? target(events.size()) : KeyTarget{}; }
    OperatorKeys HoldOperatorKeys() override {
        lockCalls.push_back({"hold", events.size()});
        return operatorKeys;
    }
    int OperatorKeysSeen() override {
        return operatorKeysSeen ? operatorKeysSeen(clock_.Now(), events.size()) : 0;
    }
    OperatorKeysOutcome ReleaseOperatorKeys(bool deliver) override {
        lockCalls.push_back({"release", events.size()});
        deliveries.push_back(deliver);
        OperatorKeysOutcome outcome = released;
        outcome.seen = OperatorKeysSeen();
        return outcome;
    }

    bool available = true;
    int failAfter = -1;  // refuse every event after this many, when >= 0
    int begins = 0;
    // Runs as typing begins, e.g. to touch the next chip meanwhile.
    std::function<void()> onBegin;
    std::vector<KeyEvent> events;
    std::vector<KeyEvent> rejected;
    std::vector<Clock::TimePoint> times;

    bool exact = false;   // as the last capture set it
    std::string problem;  // what Problem() says
    std::chrono::milliseconds settling{0};
    // The operator's keyboard at each look; not seen when empty.
    std::function<OperatorKeyboard()> keyboard;
    int looks = 0;
    bool locksGiveWay = true;
    // Where the keys would go, given how many events were sent; nothing seen
    // when empty.
    std::function<KeyTarget(std::size_t eventsSent)> target;
    struct LockCall {
        std::string what;
        std::size_t eventsBefore;  // how many events had been sent then
        friend bool operator==(const LockCall&, const LockCall&) = default;
    };
    // The calls around the keys (locks suspended and restored, the
    // operator's keys held and released), in order.
    std::vector<LockCall> lockCalls;
    // What the way does with the operator's keys, how many it has seen by a
    // moment (given the events sent by then), and what the release gives.
    OperatorKeys operatorKeys = OperatorKeys::Unseen;
    std::function<int(Clock::TimePoint, std::size_t eventsSent)> operatorKeysSeen;
    OperatorKeysOutcome released;
    // What each release was told: deliver the held keys or drop them.
    std::vector<bool> deliveries;

private:
    Clock& clock_;
};

}  // namespace vm4417::test
