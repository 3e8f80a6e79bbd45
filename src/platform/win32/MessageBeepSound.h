#pragma once
// The system's information sound, as the desktop's sound scheme defines it.

#include "InfoSound.h"

namespace vm4417 {

class MessageBeepSound final : public InfoSound {
public:
    void Play() override;
};

}  // namespace vm4417
