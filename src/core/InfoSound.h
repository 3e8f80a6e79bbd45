#pragma once

namespace vm4417 {

// The desktop's notification sounds for captures: the usual "information"
// one, and the "warning" one for a capture that did not go where it should.
class InfoSound {
public:
    virtual ~InfoSound() = default;
    virtual void Play() = 0;
    virtual void PlayWarning() = 0;
};

}  // namespace vm4417
