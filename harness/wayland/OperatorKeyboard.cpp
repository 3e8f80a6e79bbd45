// The operator's own keyboard, for the typing scenarios on wlroots
// compositors: a second virtual keyboard on the seat that behaves as a real
// one. It carries an ordinary layout compiled from the system's XKB data
// (Czech by default), presses keys at their evdev places and, as a
// compositor does for a real keyboard, keeps the modifier and lock state
// itself and reports it after every key that changes it. Commands arrive one
// a line on standard input:
//
//   type TEXT       types each character (UTF-8) with its key, with Shift
//                   where the layout needs it; a lock that is on acts as on
//                   a real keyboard
//   press KEYSYM    presses the key whose first keysym is KEYSYM and keeps it
//                   down (Control_L, Caps_Lock, a, ...)
//   release KEYSYM  lets it go
//   tap KEYSYM      presses and releases it
//
// After each command the compositor has handled every request (a round
// trip), and a line on standard output says so:
//
//   <µs> ready                       the keyboard and its keymap are in place
//   <µs> begin COMMAND               before the command's first key
//   <µs> done COMMAND mods D L K     after it, with the state it reported
//   <µs> error MESSAGE               a command it cannot carry out
//   <µs> gone                        at the end of input, every key released
//
// µs are CLOCK_MONOTONIC microseconds, comparable with the key probes'. At
// the end of input every key still down is released, so the keyboard leaves
// nothing held when it goes.
//
//   operator-keyboard [--layout LAYOUT]

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cuchar>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace {

// XKB keycodes are evdev codes plus 8.
constexpr xkb_keycode_t kEvdevOffset = 8;

long long NowMicroseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

std::uint32_t NowMilliseconds() { return static_cast<std::uint32_t>(NowMicroseconds() / 1000); }

void Say(const std::string& line) {
    std::printf("%lld %s\n", NowMicroseconds(), line.c_str());
    std::fflush(stdout);
}

struct Globals {
    wl_seat* seat = nullptr;
    zwp_virtual_keyboard_manager_v1* manager = nullptr;
};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        globals->manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == nullptr) {
        globals->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    }
}

void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

// The layout's keymap as text in an anonymous file, the way a compositor
// hands a real keyboard's keymap on.
int KeymapFile(const std::string& text) {
    const int fd = memfd_create("operator-keymap", MFD_CLOEXEC);
    if (fd < 0) return -1;
    if (write(fd, text.c_str(), text.size() + 1) != static_cast<ssize_t>(text.size() + 1)) {
        close(fd);
        return -1;
    }
    return fd;
}

class OperatorKeyboard {
public:
    // Empty, or why the keyboard could not be made.
    std::string Open(const std::string& layout);
    void Run(const std::string& command, const std::string& argument);
    void ReleaseAll();

private:
    std::optional<xkb_keycode_t> KeyWithFirstKeysym(xkb_keysym_t keysym) const;
    // The key and whether it needs Shift, for a character of the layout.
    std::optional<std::pair<xkb_keycode_t, bool>> KeyForCharacter(char32_t character) const;
    void Key(xkb_keycode_t keycode, bool down);
    // Empty, or why not all of it could be typed.
    std::string Type(const std::string& text);
    std::string Mods() const;

    wl_display* display_ = nullptr;
    Globals globals_;
    zwp_virtual_keyboard_v1* keyboard_ = nullptr;
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context_{nullptr, xkb_context_unref};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap_{nullptr, xkb_keymap_unref};
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state_{nullptr, xkb_state_unref};
    std::set<xkb_keycode_t> down_;
    xkb_keycode_t shift_ = 0;
};

std::string OperatorKeyboard::Open(const std::string& layout) {
    context_.reset(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    const xkb_rule_names names{"evdev", "pc105", layout.c_str(), "", ""};
    keymap_.reset(xkb_keymap_new_from_names(context_.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap_) return "no XKB keymap for the layout " + layout;
    state_.reset(xkb_state_new(keymap_.get()));
    shift_ = KeyWithFirstKeysym(XKB_KEY_Shift_L).value_or(0);

    display_ = wl_display_connect(nullptr);
    if (display_ == nullptr) return std::string("no compositor: ") + std::strerror(errno);
    wl_registry_add_listener(wl_display_get_registry(display_), &kRegistryListener, &globals_);
    wl_display_roundtrip(display_);
    if (globals_.manager == nullptr || globals_.seat == nullptr) {
        return "the compositor offers no virtual keyboard or no seat";
    }
    keyboard_ =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(globals_.manager, globals_.seat);
    const std::unique_ptr<char, decltype(&free)> text(
        xkb_keymap_get_as_string(keymap_.get(), XKB_KEYMAP_FORMAT_TEXT_V1), free);
    const int fd = text ? KeymapFile(text.get()) : -1;
    if (fd < 0) return "cannot hand the keymap over";
    zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(std::strlen(text.get()) + 1));
    close(fd);
    if (wl_display_roundtrip(display_) < 0) return "the compositor refused the keyboard";
    return {};
}

std::optional<xkb_keycode_t> OperatorKeyboard::KeyWithFirstKeysym(xkb_keysym_t keysym) const {
    for (xkb_keycode_t keycode = xkb_keymap_min_keycode(keymap_.get());
         keycode <= xkb_keymap_max_keycode(keymap_.get()); ++keycode) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap_.get(), keycode, 0, 0, &syms) > 0 &&
            syms[0] == keysym) {
            return keycode;
        }
    }
    return std::nullopt;
}

std::optional<std::pair<xkb_keycode_t, bool>> OperatorKeyboard::KeyForCharacter(
    char32_t character) const {
    const xkb_keysym_t wanted = xkb_utf32_to_keysym(character);
    const xkb_mod_mask_t shift = 1u << xkb_keymap_mod_get_index(keymap_.get(), XKB_MOD_NAME_SHIFT);
    for (xkb_keycode_t keycode = xkb_keymap_min_keycode(keymap_.get());
         keycode <= xkb_keymap_max_keycode(keymap_.get()); ++keycode) {
        for (xkb_level_index_t level = 0; level < 2; ++level) {
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap_.get(), keycode, 0, level, &syms) < 1 ||
                syms[0] != wanted) {
                continue;
            }
            xkb_mod_mask_t masks[4] = {};
            const std::size_t count =
                xkb_keymap_key_get_mods_for_level(keymap_.get(), keycode, 0, level, masks, 4);
            for (std::size_t i = 0; i < count; ++i) {
                if (masks[i] == 0 || masks[i] == shift) return {{keycode, masks[i] == shift}};
            }
        }
    }
    return std::nullopt;
}

// One key event, then the modifiers when it changed them: what a compositor
// sends for a real keyboard, whose state it keeps from the keys themselves.
void OperatorKeyboard::Key(xkb_keycode_t keycode, bool down) {
    const auto changed =
        xkb_state_update_key(state_.get(), keycode, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    zwp_virtual_keyboard_v1_key(
        keyboard_, NowMilliseconds(), keycode - kEvdevOffset,
        down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    if (down) {
        down_.insert(keycode);
    } else {
        down_.erase(keycode);
    }
    if (changed != 0) {
        zwp_virtual_keyboard_v1_modifiers(
            keyboard_, xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_LOCKED),
            xkb_state_serialize_layout(state_.get(), XKB_STATE_LAYOUT_EFFECTIVE));
    }
    wl_display_flush(display_);
}

// A person's pace: a key every 40 ms or so, held for 20.
std::string OperatorKeyboard::Type(const std::string& text) {
    std::mbstate_t mb{};
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p < end) {
        char32_t character = 0;
        const std::size_t used = std::mbrtoc32(&character, p, end - p, &mb);
        if (used == 0 || used > static_cast<std::size_t>(end - p)) return "not UTF-8: " + text;
        p += used;
        const auto key = KeyForCharacter(character);
        if (!key) return "no key for a character of: " + text;
        if (key->second) Key(shift_, true);
        Key(key->first, true);
        usleep(20000);
        Key(key->first, false);
        if (key->second) Key(shift_, false);
        usleep(20000);
    }
    return {};
}

std::string OperatorKeyboard::Mods() const {
    return std::to_string(xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_DEPRESSED)) + " " +
           std::to_string(xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_LATCHED)) + " " +
           std::to_string(xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_LOCKED));
}

void OperatorKeyboard::Run(const std::string& command, const std::string& argument) {
    const std::string line = command + " " + argument;
    Say("begin " + line);
    if (command == "type") {
        if (const std::string error = Type(argument); !error.empty()) {
            Say("error " + error);
            return;
        }
    } else if (command == "press" || command == "release" || command == "tap") {
        const xkb_keysym_t keysym = xkb_keysym_from_name(argument.c_str(), XKB_KEYSYM_NO_FLAGS);
        const auto keycode = KeyWithFirstKeysym(keysym);
        if (keysym == XKB_KEY_NoSymbol || !keycode) {
            Say("error no key " + argument);
            return;
        }
        if (command != "release") Key(*keycode, true);
        if (command == "tap") usleep(20000);
        if (command != "press") Key(*keycode, false);
    } else {
        Say("error unknown command " + command);
        return;
    }
    if (wl_display_roundtrip(display_) < 0) {
        Say("error the compositor went away");
        return;
    }
    Say("done " + line + " mods " + Mods());
}

void OperatorKeyboard::ReleaseAll() {
    while (!down_.empty()) Key(*down_.begin(), false);
    wl_display_roundtrip(display_);
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C.UTF-8");
    std::string layout = "cz";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--layout") == 0 && i + 1 < argc) {
            layout = argv[++i];
        } else {
            std::fprintf(stderr, "usage: operator-keyboard [--layout LAYOUT]\n");
            return 2;
        }
    }
    OperatorKeyboard keyboard;
    if (const std::string error = keyboard.Open(layout); !error.empty()) {
        std::fprintf(stderr, "operator-keyboard: %s\n", error.c_str());
        return 1;
    }
    Say("ready");
    std::string line;
    while (std::getline(std::cin, line)) {
        const auto space = line.find(' ');
        keyboard.Run(line.substr(0, space),
                     space == std::string::npos ? "" : line.substr(space + 1));
    }
    keyboard.ReleaseAll();
    Say("gone");
    return 0;
}
