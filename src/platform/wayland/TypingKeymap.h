#pragma once
// The keymap of the program's virtual keyboard: one key for each design key
// the typing can send, carrying the keysym ShiftedKeysym() gives for it.

#include <array>
#include <cstdint>
#include <string>

namespace vm4417 {

struct TypingKeymap {
    // XKB_KEYMAP_FORMAT_TEXT_V1, complete in itself (no includes): what the
    // compositor and every receiving client compile.
    std::string text;
    // The evdev code (the XKB keycode minus 8) of each virtual-key code's
    // key; 0 for a code without a key.
    std::array<std::uint8_t, 256> evdevCodes{};
    // Empty when the keymap was made; otherwise libxkbcommon's refusal.
    std::string error;
};

// Writes the keymap and compiles it with libxkbcommon, which also gives the
// text its canonical, self-contained form. Every key has one level and one
// keysym, so no modifier is ever needed to reach it; all keycodes stay below
// 256, which Xwayland requires.
TypingKeymap BuildTypingKeymap();

}  // namespace vm4417
