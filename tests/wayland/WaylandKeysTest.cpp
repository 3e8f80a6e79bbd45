// What the Wayland ways make of the typing's keys: the keysym of each design
// key, and the virtual keyboard's own keymap as a receiving client compiles
// it with libxkbcommon and as the X server compiles it with xkbcomp.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "KeyTyping.h"
#include "typing/ShiftedKeysyms.h"
#include "wayland/TypingKeymap.h"

namespace vm4417 {
namespace {

// What the Czech layout types for each character of a capture with Shift
// held: digits stay digits, letters of either case give capitals, "-" and
// ":" the keypad minus, and a space a space.
struct Typed {
    char in;
    const char* arrives;
};
constexpr Typed kCharacters[] = {
    {'0', "0"}, {'1', "1"}, {'2', "2"}, {'3', "3"}, {'4', "4"}, {'5', "5"}, {'6', "6"},
    {'7', "7"}, {'8', "8"}, {'9', "9"}, {'A', "A"}, {'F', "F"}, {'M', "M"}, {'Z', "Z"},
    {'a', "A"}, {'f', "F"}, {'z', "Z"}, {'-', "-"}, {':', "-"}, {' ', " "},
};

std::string Utf8(xkb_keysym_t keysym) {
    char text[8] = {};
    xkb_keysym_to_utf8(keysym, text, sizeof text);
    return text;
}

TEST(ShiftedKeysym, GivesWhatTheCzechLayoutTypesWithShift) {
    for (const Typed& c : kCharacters) {
        SCOPED_TRACE(std::string("character '") + c.in + "'");
        const auto key = VirtualKeyFor(c.in);
        ASSERT_TRUE(key.has_value());
        const auto keysym = ShiftedKeysym(*key);
        ASSERT_TRUE(keysym.has_value());
        EXPECT_EQ(Utf8(*keysym), c.arrives);
    }
    for (char c = 'A'; c <= 'Z'; ++c) {
        EXPECT_EQ(Utf8(ShiftedKeysym(static_cast<std::uint8_t>(c)).value_or(0)), std::string(1, c));
    }
    EXPECT_EQ(ShiftedKeysym(vk::Return), std::optional<std::uint32_t>(XKB_KEY_Return));
}

TEST(ShiftedKeysym, NothingForShiftAndKeysTheTypingNeverSends) {
    // Shift's level is in the keysyms; 0x61..0x6F are keypad and function
    // keys on Windows, which lower-case letters must not reach.
    for (const std::uint8_t key : {vk::Shift, std::uint8_t{0x00}, std::uint8_t{0x61},
                                   std::uint8_t{0x7A}, std::uint8_t{0x2E}, std::uint8_t{0xBD}}) {
        EXPECT_FALSE(ShiftedKeysym(key).has_value()) << "virtual key " << int(key);
    }
}

// The keymap as a client receives it, compiled as the client would: without
// the machine's XKB data, which a self-contained keymap must not need.
class TypingKeymapTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(made.error, "");
        context.reset(xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES));
        keymap.reset(xkb_keymap_new_from_string(context.get(), made.text.c_str(),
                                                XKB_KEYMAP_FORMAT_TEXT_V1,
                                                XKB_KEYMAP_COMPILE_NO_FLAGS));
        ASSERT_NE(keymap, nullptr) << made.text;
        state.reset(xkb_state_new(keymap.get()));
    }

    // What a press of the virtual key's key types, as a client looks it up.
    std::string Types(std::uint8_t virtualKey) {
        const xkb_keycode_t keycode = made.evdevCodes[virtualKey] + 8u;
        char text[8] = {};
        xkb_state_key_get_utf8(state.get(), keycode, text, sizeof text);
        return text;
    }

    const TypingKeymap made = BuildTypingKeymap();
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context{nullptr, xkb_context_unref};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap{nullptr, xkb_keymap_unref};
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state{nullptr, xkb_state_unref};
};

TEST_F(TypingKeymapTest, EveryKeyOfTheTypingHasOneKeyOfItsOwnWithItsKeysym) {
    std::set<int> used;
    for (int virtualKey = 0; virtualKey < 256; ++virtualKey) {
        const auto key = static_cast<std::uint8_t>(virtualKey);
        const auto keysym = ShiftedKeysym(key);
        const int evdev = made.evdevCodes[key];
        if (!keysym) {
            EXPECT_EQ(evdev, 0) << "virtual key " << virtualKey;
            continue;
        }
        SCOPED_TRACE("virtual key " + std::to_string(virtualKey));
        ASSERT_GT(evdev, 0);
        const xkb_keycode_t keycode = evdev + 8u;
        EXPECT_LE(keycode, 255u);  // Xwayland drops higher keycodes
        EXPECT_TRUE(used.insert(evdev).second) << "shares key " << evdev;
        EXPECT_EQ(xkb_state_key_get_one_sym(state.get(), keycode), *keysym);
        EXPECT_EQ(Types(key), Utf8(*keysym));
        // With the Shift the typing holds: the same keysym, and Shift used
        // up by the key, so no receiver takes it for a Shift shortcut.
        xkb_state_update_mask(state.get(), made.shiftMask, 0, 0, 0, 0, 0);
        EXPECT_EQ(xkb_state_key_get_one_sym(state.get(), keycode), *keysym);
        EXPECT_EQ(
            xkb_state_mod_index_is_consumed(
                state.get(), keycode, xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_SHIFT)),
            1);
        xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, 0);
    }
}

// A map set on the X server after the keyboard became the seat's active one
// (setxkbmap) makes Xwayland read the keyboard's keycodes with that map, not
// the uploaded one, until the next change of keyboard. With the machine's
// Czech layout and Shift, every key must still give what the uploaded keymap
// gives: the keys sit at their places.
TEST_F(TypingKeymapTest, TheCzechLayoutWithShiftTypesTheSameAtEveryKey) {
    const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> system(
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), xkb_context_unref);
    const xkb_rule_names czech{"evdev", "pc105", "cz", "", ""};
    const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> layout(
        xkb_keymap_new_from_names(system.get(), &czech, XKB_KEYMAP_COMPILE_NO_FLAGS),
        xkb_keymap_unref);
    ASSERT_NE(layout, nullptr) << "no XKB data for the Czech layout";
    const std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> shifted(
        xkb_state_new(layout.get()), xkb_state_unref);
    const xkb_mod_index_t shift = xkb_keymap_mod_get_index(layout.get(), XKB_MOD_NAME_SHIFT);
    xkb_state_update_mask(shifted.get(), 1u << shift, 0, 0, 0, 0, 0);
    for (int virtualKey = 0; virtualKey < 256; ++virtualKey) {
        const auto key = static_cast<std::uint8_t>(virtualKey);
        const auto keysym = ShiftedKeysym(key);
        if (!keysym) continue;
        EXPECT_EQ(xkb_state_key_get_one_sym(shifted.get(), made.evdevCodes[key] + 8u), *keysym)
            << "virtual key " << virtualKey;
    }
}

TEST_F(TypingKeymapTest, AWholeCaptureArrivesAsTheCzechLayoutTypesIt) {
    struct Case {
        CaptureKeys capture;
        const char* arrives;
    };
    const Case cases[] = {
        {{7, "08:15:30", "00000A1B2C3D", true, true}, "7     08-15-30     00000A1B2C3D\r"},
        {{0, "", "0123456789ABCDEF", false, false}, "0123456789ABCDEF\r"},
        {{4294967295u, "23:59:59", "ghijklmnopqrstuvwxyz", true, false},
         "4294967295     GHIJKLMNOPQRSTUVWXYZ\r"},
    };
    for (const Case& c : cases) {
        const auto steps = BuildKeySequence(c.capture);
        ASSERT_TRUE(steps.has_value());
        std::string arrived;
        for (const KeyStep& step : *steps) {
            if (step.event.keyUp || step.event.virtualKey == vk::Shift) continue;
            ASSERT_NE(made.evdevCodes[step.event.virtualKey], 0)
                << "no key for " << int(step.event.virtualKey);
            arrived += Types(step.event.virtualKey);
        }
        EXPECT_EQ(arrived, c.arrives);
    }
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::set<std::string> TypeNames(const std::string& keymapText) {
    static const std::string kOpen = "type \"";
    std::set<std::string> names;
    for (auto at = keymapText.find(kOpen); at != std::string::npos;
         at = keymapText.find(kOpen, at + 1)) {
        const auto begin = at + kOpen.size();
        const auto end = keymapText.find('"', begin);
        if (end == std::string::npos) break;
        if (end > begin) names.insert(keymapText.substr(begin, end - begin));
    }
    return names;
}

// The keymap as the X server takes it. Xwayland runs xkbcomp (x11-xkb-utils)
// on the keymap of every keyboard that becomes the seat's active one and
// loads the compiled file; X clients then read the result from the server.
// Skipped where xkbcomp is not installed.
class XkbcompTest : public TypingKeymapTest {
protected:
    void SetUp() override {
        TypingKeymapTest::SetUp();
        if (HasFatalFailure()) return;
        char pattern[] = "/tmp/vm4417-xkbcomp.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        std::ofstream(dir + "/keymap.xkb") << made.text;
        const int status = Xkbcomp({"-xkm", dir + "/keymap.xkb", dir + "/keymap.xkm"});
        if (status == kNoXkbcomp) GTEST_SKIP() << "xkbcomp is not installed";
        ASSERT_EQ(status, 0) << ReadText(dir + "/xkbcomp.log");
        compiled = ReadText(dir + "/keymap.xkm");
    }

    void TearDown() override {
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }

    static constexpr int kNoXkbcomp = -2;

    // xkbcomp's exit status, its messages in xkbcomp.log; kNoXkbcomp when
    // it cannot be started.
    int Xkbcomp(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"xkbcomp", "-w", "0"});
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log = dir + "/xkbcomp.log";
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        pid_t child = 0;
        const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) return kNoXkbcomp;
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dir;
    std::string compiled;  // the compiled file, xkbcomp's "xkm" format
};

// The compiled file starts with its version and "mkx", then a byte each for
// the file type, the lowest and highest keycode and the number of sections,
// then a 16-bit mask (this machine's byte order) of the parts it holds. The
// X server refuses a file that lacks the key names, types, compatibility map,
// symbols or virtual modifiers and gives X clients its default US map
// instead; one without indicators it takes, then crashes when a client asks
// for them. xkbcomp leaves out a compatibility section with no rules and a
// virtual-modifier section with no modifiers.
TEST_F(XkbcompTest, TheCompiledFileHoldsEveryPartTheXServerNeeds) {
    ASSERT_GE(compiled.size(), 10u);
    ASSERT_EQ(compiled.substr(1, 3), "mkx");
    std::uint16_t present = 0;
    std::memcpy(&present, compiled.data() + 8, sizeof present);
    const struct {
        int bit;
        const char* part;
    } kNeeded[] = {{0, "key types"},  {1, "compatibility map"}, {2, "symbols"},
                   {3, "indicators"}, {4, "key names"},         {6, "virtual modifiers"}};
    for (const auto& needed : kNeeded) {
        EXPECT_TRUE(present & (1u << needed.bit))
            << "no " << needed.part << " in the compiled keymap";
    }
}

// What X clients read back from the server: the keymap's own types, none
// that xkbcomp had to make up (it makes up every missing one of the four
// types each X keymap has, the X server hands those out with no levels, and
// xkbcommon-x11 then refuses the whole map), and every key of the typing
// with its keysym on both levels.
TEST_F(XkbcompTest, XClientsReadTheKeymapsOwnTypesAndKeys) {
    ASSERT_EQ(Xkbcomp({"-xkb", dir + "/keymap.xkm", dir + "/back.xkb"}), 0)
        << ReadText(dir + "/xkbcomp.log");
    const std::string back = ReadText(dir + "/back.xkb");
    EXPECT_EQ(TypeNames(back), TypeNames(made.text));

    const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> server(
        xkb_keymap_new_from_string(context.get(), back.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                   XKB_KEYMAP_COMPILE_NO_FLAGS),
        xkb_keymap_unref);
    ASSERT_NE(server, nullptr) << back;
    for (int virtualKey = 0; virtualKey < 256; ++virtualKey) {
        const auto key = static_cast<std::uint8_t>(virtualKey);
        const auto keysym = ShiftedKeysym(key);
        if (!keysym) continue;
        for (xkb_level_index_t level : {0u, 1u}) {
            const xkb_keysym_t* syms = nullptr;
            ASSERT_EQ(xkb_keymap_key_get_syms_by_level(server.get(), made.evdevCodes[key] + 8u, 0,
                                                       level, &syms),
                      1)
                << "virtual key " << virtualKey << ", level " << level + 1;
            EXPECT_EQ(syms[0], *keysym) << "virtual key " << virtualKey << ", level " << level + 1;
        }
    }
}

}  // namespace
}  // namespace vm4417
