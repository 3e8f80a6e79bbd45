#include "DesktopSound.h"

#include <QApplication>

#ifdef VM4417_HAVE_CANBERRA
#include <canberra.h>
#endif

namespace vm4417::ui {

#ifdef VM4417_HAVE_CANBERRA

DesktopSound::DesktopSound() {
    if (ca_context_create(&context_) != CA_SUCCESS) {
        context_ = nullptr;
        return;
    }
    // Only through the desktop's sound server: probing the sound cards
    // directly fills the terminal with errors on machines without one.
    ca_context_set_driver(context_, "pulse");
}

DesktopSound::~DesktopSound() {
    if (context_ != nullptr) ca_context_destroy(context_);
}

void DesktopSound::PlayEvent(const char* eventId) {
    // Playing is asynchronous; a missing theme, sound card or sound server
    // shows up as an error here, and the bell stands in.
    if (context_ != nullptr &&
        ca_context_play(context_, 0, CA_PROP_EVENT_ID, eventId, nullptr) == CA_SUCCESS) {
        return;
    }
    QApplication::beep();
}

#else

DesktopSound::DesktopSound() = default;
DesktopSound::~DesktopSound() = default;
void DesktopSound::PlayEvent(const char*) { QApplication::beep(); }

#endif

void DesktopSound::Play() { PlayEvent("dialog-information"); }
void DesktopSound::PlayWarning() { PlayEvent("dialog-warning"); }

}  // namespace vm4417::ui
