#pragma once
// The system's information and warning sounds, as the desktop's sound
// scheme defines them.

#include "InfoSound.h"

namespace vm4417 {

class MessageBeepSound final : public InfoSound {
public:
    void Play() override;
    void PlayWarning() override;
};

}  // namespace vm4417
