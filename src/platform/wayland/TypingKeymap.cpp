#include "TypingKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "typing/ShiftedKeysyms.h"

namespace vm4417 {

namespace {

// The first XKB keycode given out: 9, evdev code 1. Evdev code 0 means "no
// key" to some receivers.
constexpr int kFirstKeycode = 9;

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

// The keymap's source: keycodes named <Knn>, one one-level type, no
// compatibility rules (no key is a modifier), one keysym per key.
std::string KeymapSource(std::array<std::uint8_t, 256>& evdevCodes) {
    std::string keycodes, symbols;
    int keycode = kFirstKeycode;
    for (int virtualKey = 0; virtualKey < 256; ++virtualKey) {
        const auto keysym = ShiftedKeysym(static_cast<std::uint8_t>(virtualKey));
        if (!keysym) continue;
        if (keycode > 255) return {};  // more keys than Xwayland takes
        const std::string name = "<K" + std::to_string(keycode) + ">";
        keycodes += "  " + name + " = " + std::to_string(keycode) + ";\n";
        symbols += "  key " + name + " { [ " + KeysymName(*keysym) + " ] };\n";
        evdevCodes[virtualKey] = static_cast<std::uint8_t>(keycode - 8);
        ++keycode;
    }
    return "xkb_keymap {\n"
           "xkb_keycodes \"vm4417\" {\n  minimum = 8;\n  maximum = 255;\n" +
           keycodes +
           "};\n"
           "xkb_types \"vm4417\" {\n"
           "  type \"ONE_LEVEL\" { modifiers = none; level_name[Level1] = \"Any\"; };\n"
           "};\n"
           "xkb_compatibility \"vm4417\" { };\n"
           "xkb_symbols \"vm4417\" {\n" +
           symbols +
           "};\n"
           "};\n";
}

}  // namespace

TypingKeymap BuildTypingKeymap() {
    TypingKeymap keymap;
    const std::string source = KeymapSource(keymap.evdevCodes);
    if (source.empty()) {
        keymap.error = "the typing needs more keys than keycodes 9 to 255 hold";
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
    return keymap;
}

}  // namespace vm4417
