#include "ShiftedKeysyms.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace vm4417 {

std::optional<std::uint32_t> ShiftedKeysym(std::uint8_t virtualKey) {
    if (vk::IsDigit(virtualKey)) return XKB_KEY_0 + (virtualKey - '0');
    if (vk::IsLetter(virtualKey)) return XKB_KEY_A + (virtualKey - 'A');
    switch (virtualKey) {
        case vk::Return: return XKB_KEY_Return;
        case vk::Space: return XKB_KEY_space;
        case vk::Subtract: return XKB_KEY_KP_Subtract;
        default: return std::nullopt;
    }
}

}  // namespace vm4417
