#pragma once
// The keymap of the program's virtual keyboard: one key for each design key
// the typing can send, at that key's place on a PC keyboard, carrying the
// keysym ShiftedKeysym() gives for it with or without Shift.

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
    // Shift in the keymap's modifier masks, for the modifiers the keyboard
    // reports while the typing holds Shift.
    std::uint32_t shiftMask = 0;
    // Empty when the keymap was made; otherwise libxkbcommon's refusal.
    std::string error;
};

// Writes the keymap and compiles it with libxkbcommon, which also gives the
// text its canonical, self-contained form. Both levels of every key carry
// the same keysym, so Shift changes nothing a client of this keymap types;
// all keycodes stay below 256, which Xwayland requires. The text also
// compiles with xkbcomp into a keymap the X server loads, so X clients under
// Xwayland receive the same keysyms as native ones.
TypingKeymap BuildTypingKeymap();

}  // namespace vm4417
