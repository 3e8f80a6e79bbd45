#pragma once
// What the typing's keys give on a Czech keyboard with Shift held, as X
// keysyms: the characters the operator sees in the target on X11 and
// Windows. The Wayland ways send these keysyms (their own keymap, or the
// portal's keysym calls), so the same characters arrive whatever layout the
// operator has.

#include <cstdint>
#include <optional>

#include "KeySink.h"

namespace vm4417 {

// The keysym for a design key: digits for the digit row (Shift gives digits
// on the Czech layout), capital letters, space, the keypad minus and Return.
// Nothing for Shift itself, whose level is already in the keysym, and for a
// key the typing never uses.
std::optional<std::uint32_t> ShiftedKeysym(std::uint8_t virtualKey);

}  // namespace vm4417
