#include "MessageBeepSound.h"

#include <windows.h>

namespace vm4417 {

// Asynchronous: the capture cycle does not wait for the sound.
void MessageBeepSound::Play() { MessageBeep(MB_ICONASTERISK); }

}  // namespace vm4417
