#include "TypingKeymap.h"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "typing/ShiftedKeysyms.h"

namespace vm4417 {

namespace {

// XKB keycodes are evdev codes plus 8.
constexpr int kEvdevOffset = 8;

// The evdev code of the key that carries `virtualKey` on a Czech keyboard.
// The codes are named after the US labels (KEY_A is the key right of Caps
// Lock); the Czech layout swaps Y and Z. Xwayland takes this keymap whenever
// this keyboard becomes the seat's active one, but a map set on the X server
// afterwards (setxkbmap, as desktop start-up scripts do) stays in force
// until the next change of keyboard, and reads the codes with its own
// layout. Each key at its real place makes a Czech layout with Shift give the
// same characters as this keymap then.
int EvdevCode(std::uint8_t virtualKey) {
    static constexpr int kLetters[26] = {
        KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
        KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Z, KEY_Y};
    if (virtualKey == '0') return KEY_0;
    if (vk::IsDigit(virtualKey)) return KEY_1 + (virtualKey - '1');
    if (vk::IsLetter(virtualKey)) return kLetters[virtualKey - 'A'];
    switch (virtualKey) {
        case vk::Return: return KEY_ENTER;
        case vk::Space: return KEY_SPACE;
        case vk::Subtract: return KEY_KPMINUS;
        default: return 0;
    }
}

// libxkbcommon's messages, kept for the caller instead of printed.
void KeepMessage(xkb_context* context, xkb_log_level, const char* format, va_list args) {
    auto* messages = static_cast<std::string*>(xkb_context_get_user_data(context));
    char line[512];
    std::vsnprintf(line, sizeof line, format, args);
    if (messages->empty()) *messages = line;
    while (!messages->empty() && messages->back() == '\n') messages->pop_back();
}

std::string KeysymName(xkb_keysym_t keysym) {
    char name[64];
    xkb_keysym_get_name(keysym, name, sizeof name);
    return name;
}

// The key types. Every key of the typing is TWO_LEVEL, with the same keysym
// on both levels: Shift selects level 2, so receivers count Shift as used up
// by the key, as on a real keyboard where Shift makes the digit, and see no
// Shift shortcut. The other three are the types every X keymap has; xkbcomp
// makes up any of them that is missing, the X server hands those to its
// clients with no levels, and xkbcommon-x11 (Qt's X clients) refuses such a
// keymap. NumLock, which KEYPAD uses, is the one virtual modifier: Xwayland
// refuses a compiled keymap without any.
constexpr const char* kTypes = R"(xkb_types "vm4417" {
  virtual_modifiers NumLock;
  type "ONE_LEVEL" {
    modifiers = none;
    level_name[Level1] = "Any";
  };
  type "TWO_LEVEL" {
    modifiers = Shift;
    map[Shift] = Level2;
    level_name[Level1] = "Base";
    level_name[Level2] = "Shift";
  };
  type "ALPHABETIC" {
    modifiers = Shift + Lock;
    map[Shift] = Level2;
    map[Lock] = Level2;
    level_name[Level1] = "Base";
    level_name[Level2] = "Caps";
  };
  type "KEYPAD" {
    modifiers = Shift + NumLock;
    map[Shift] = Level2;
    map[NumLock] = Level2;
    level_name[Level1] = "Base";
    level_name[Level2] = "Number";
  };
};
)";

// No key of the typing has an action, yet the section holds one rule (the
// ordinary one for keys in a modifier map, of which there are none) and the
// Caps Lock and Num Lock indicators: xkbcomp leaves a section without rules
// out of its compiled file, and Xwayland refuses a file without it or
// without indicators and falls back to its default US map for X clients.
constexpr const char* kCompatibility = R"(xkb_compatibility "vm4417" {
  interpret Any + AnyOf(all) {
    action = SetMods(modifiers = modMapMods, clearLocks);
  };
  indicator "Caps Lock" { whichModState = locked; modifiers = Lock; };
  indicator "Num Lock" { whichModState = locked; modifiers = NumLock; };
};
)";

// The keymap's source: keycodes named <Knn> and one TWO_LEVEL key for each
// key of the typing, at its place on a Czech keyboard.
std::string KeymapSource(std::array<std::uint8_t, 256>& evdevCodes) {
    std::string keycodes, symbols;
    for (int virtualKey = 0; virtualKey < 256; ++virtualKey) {
        const auto key = static_cast<std::uint8_t>(virtualKey);
        const auto keysym = ShiftedKeysym(key);
        if (!keysym) continue;
        const int evdev = EvdevCode(key);
        if (evdev <= 0 || evdev + kEvdevOffset > 255) return {};  // Xwayland takes up to 255
        const int keycode = evdev + kEvdevOffset;
        const std::string name = "<K" + std::to_string(keycode) + ">";
        const std::string sym = KeysymName(*keysym);
        keycodes += "  " + name + " = " + std::to_string(keycode) + ";\n";
        symbols += "  key " + name + " { type = \"TWO_LEVEL\", [ " + sym + ", " + sym + " ] };\n";
        evdevCodes[key] = static_cast<std::uint8_t>(evdev);
    }
    return "xkb_keymap {\n"
           "xkb_keycodes \"vm4417\" {\n  minimum = 8;\n  maximum = 255;\n" +
           keycodes + "};\n" + kTypes + kCompatibility + "xkb_symbols \"vm4417\" {\n" + symbols +
           "};\n"
           "};\n";
}

}  // namespace

TypingKeymap BuildTypingKeymap() {
    TypingKeymap keymap;
    const std::string source = KeymapSource(keymap.evdevCodes);
    if (source.empty()) {
        keymap.error = "a key of the typing has no keycode from 9 to 255";
        return keymap;
    }
    // No include paths and no environment: the source refers to no file.
    const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
        xkb_context_new(static_cast<xkb_context_flags>(XKB_CONTEXT_NO_DEFAULT_INCLUDES |
                                                       XKB_CONTEXT_NO_ENVIRONMENT_NAMES)),
        xkb_context_unref);
    if (!context) {
        keymap.error = "libxkbcommon: no context";
        return keymap;
    }
    std::string messages;
    xkb_context_set_user_data(context.get(), &messages);
    xkb_context_set_log_fn(context.get(), KeepMessage);
    xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_ERROR);
    const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> compiled(
        xkb_keymap_new_from_string(context.get(), source.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                   XKB_KEYMAP_COMPILE_NO_FLAGS),
        xkb_keymap_unref);
    if (!compiled) {
        keymap.error = "libxkbcommon refused the keymap: " + messages;
        return keymap;
    }
    const std::unique_ptr<char, decltype(&free)> text(
        xkb_keymap_get_as_string(compiled.get(), XKB_KEYMAP_FORMAT_TEXT_V1), free);
    if (!text) {
        keymap.error = "libxkbcommon could not write the keymap";
        return keymap;
    }
    keymap.text = text.get();
    // Shift is one of the eight core modifiers, which every keymap has.
    keymap.shiftMask = 1u << xkb_keymap_mod_get_index(compiled.get(), XKB_MOD_NAME_SHIFT);
    return keymap;
}

}  // namespace vm4417
