#pragma once
// A key sink that keeps every event with the (fake) time it was sent.

#include <functional>
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

    bool available = true;
    int failAfter = -1;  // refuse every event after this many, when >= 0
    int begins = 0;
    // Runs as typing begins, e.g. to touch the next chip meanwhile.
    std::function<void()> onBegin;
    std::vector<KeyEvent> events;
    std::vector<KeyEvent> rejected;
    std::vector<Clock::TimePoint> times;

private:
    Clock& clock_;
};

}  // namespace vm4417::test
