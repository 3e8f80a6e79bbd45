#pragma once

namespace vm4417 {

// The desktop's "information" notification sound, played for each capture.
class InfoSound {
public:
    virtual ~InfoSound() = default;
    virtual void Play() = 0;
};

}  // namespace vm4417
