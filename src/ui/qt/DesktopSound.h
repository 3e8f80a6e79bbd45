#pragma once

#include "InfoSound.h"

struct ca_context;

namespace vm4417::ui {

// The desktop's "dialog-information" and "dialog-warning" event sounds from
// the sound theme where one can be played, otherwise the window system's
// bell.
class DesktopSound final : public InfoSound {
public:
    DesktopSound();
    ~DesktopSound() override;
    DesktopSound(const DesktopSound&) = delete;
    DesktopSound& operator=(const DesktopSound&) = delete;

    void Play() override;
    void PlayWarning() override;

private:
    void PlayEvent(const char* eventId);

    ca_context* context_ = nullptr;
};

}  // namespace vm4417::ui
