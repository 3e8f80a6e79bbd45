#pragma once
// Synthetic keyboard events for the application that has the focus. Events
// carry Windows virtual-key codes; each backend maps them to its own keys.

#include <cstdint>

namespace vm4417 {

// The key codes the typing uses, named as Windows names its virtual keys
// (VK_RETURN, …; the VK_ prefix is a macro there). Digits and capital letters
// are their own ASCII codes. Every backend reads this one vocabulary.
namespace vk {
inline constexpr std::uint8_t Return = 0x0D;
inline constexpr std::uint8_t Shift = 0x10;
inline constexpr std::uint8_t Space = 0x20;
inline constexpr std::uint8_t Subtract = 0x6D;  // the numeric keypad's minus
inline constexpr bool IsDigit(std::uint8_t key) { return key >= '0' && key <= '9'; }
inline constexpr bool IsLetter(std::uint8_t key) { return key >= 'A' && key <= 'Z'; }
}  // namespace vk

struct KeyEvent {
    std::uint8_t virtualKey = 0;
    bool keyUp = false;
    // The scan-code value carried by every event. It is a fixed 1 (the
    // Escape key's scan code) rather than the key's own: receivers go by the
    // virtual-key code, and backends that address keys by virtual-key code
    // alone ignore it.
    std::uint8_t scanCode = 1;

    friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

class KeySink {
public:
    virtual ~KeySink() = default;

    // Prepares delivery (connects to the display, checks that every key used
    // by the typing can be produced). False: nothing can be typed now.
    virtual bool Begin() = 0;
    // Delivers one event at once (flushed). False when it could not be sent.
    virtual bool Send(const KeyEvent& event) = 0;
};

}  // namespace vm4417
