#include "MessageBeepSound.h"

#include <windows.h>

namespace vm4417 {

// Asynchronous: the capture cycle does not wait for the sound.
void MessageBeepSound::Play() { MessageBeep(MB_ICONASTERISK); }
void MessageBeepSound::PlayWarning() { MessageBeep(MB_ICONWARNING); }

}  // namespace vm4417
