#include "KeyLevels.h"

#include <X11/keysym.h>

#include <algorithm>
#include <array>

namespace vm4417 {

namespace {

// The locks that the typing switches off for a capture.
constexpr unsigned int kSuspendedLocks = LockMask | ShiftMask;

}  // namespace

std::optional<KeyLevels> KeyLevels::Read(Display* display) {
    constexpr unsigned int kParts = XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask;
    XkbDescPtr xkb = XkbGetMap(display, kParts, XkbUseCoreKbd);
    if (xkb == nullptr) return std::nullopt;
    KeyLevels levels;
    levels.xkb_.reset(xkb);
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success) return std::nullopt;
    levels.group_ = state.group;
    levels.lockedOthers_ = state.locked_mods & ~kSuspendedLocks;
    // AltGr is whichever real modifier a key carrying ISO_Level3_Shift sets.
    for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
        if (XkbKeyNumGroups(xkb, keycode) == 0 || xkb->map->modmap[keycode] == 0) continue;
        if (XkbKeySymEntry(xkb, keycode, 0, 0) != XK_ISO_Level3_Shift) continue;
        levels.level3Key_ = static_cast<KeyCode>(keycode);
        levels.level3Mask_ = xkb->map->modmap[keycode];
        break;
    }
    return levels;
}

// The group a key gives in the group in force: keys with fewer groups wrap,
// clamp or redirect as their group information says.
int KeyLevels::GroupOf(KeyCode keycode) const {
    const int groups = XkbKeyNumGroups(xkb_.get(), keycode);
    if (group_ < groups) return group_;
    const unsigned char info = XkbKeyGroupInfo(xkb_.get(), keycode);
    switch (XkbOutOfRangeGroupAction(info)) {
        case XkbClampIntoRange: return groups - 1;
        case XkbRedirectIntoRange: {
            const int redirected = XkbOutOfRangeGroupNumber(info);
            return redirected < groups ? redirected : 0;
        }
        default: return group_ % groups;
    }
}

// The level the key's type selects for the modifiers in force.
int KeyLevels::LevelOf(KeyCode keycode, int group, unsigned int mods) const {
    const XkbKeyTypePtr type = XkbKeyKeyType(xkb_.get(), keycode, group);
    const unsigned int relevant = mods & type->mods.mask;
    for (int i = 0; i < type->map_count; ++i) {
        const XkbKTMapEntryRec& entry = type->map[i];
        if (entry.active && entry.mods.mask == relevant) return entry.level;
    }
    return 0;
}

std::optional<KeyChord> KeyLevels::Find(KeySym keysym) const {
    std::array<unsigned int, 4> chords{0, ShiftMask, 0, 0};
    std::size_t count = 2;
    if (level3Key_ != 0) {
        chords[count++] = level3Mask_;
        chords[count++] = ShiftMask | level3Mask_;
    }
    XkbDescPtr xkb = xkb_.get();
    for (std::size_t c = 0; c < count; ++c) {
        for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
            if (XkbKeyNumGroups(xkb, keycode) == 0) continue;
            const auto key = static_cast<KeyCode>(keycode);
            const int group = GroupOf(key);
            const int level = LevelOf(key, group, chords[c] | lockedOthers_);
            if (level >= XkbKeyGroupWidth(xkb, keycode, group)) continue;
            if (XkbKeySymEntry(xkb, keycode, level, group) == keysym)
                return KeyChord{key, chords[c]};
        }
    }
    return std::nullopt;
}

KeyCode KeyLevels::SpareKey(const std::vector<KeyCode>& taken) const {
    XkbDescPtr xkb = xkb_.get();
    // From the top: the low keycodes are those of real keyboards.
    for (int keycode = xkb->max_key_code; keycode >= xkb->min_key_code; --keycode) {
        const auto key = static_cast<KeyCode>(keycode);
        if (XkbKeyNumGroups(xkb, keycode) != 0 || xkb->map->modmap[keycode] != 0) continue;
        if (std::find(taken.begin(), taken.end(), key) == taken.end()) return key;
    }
    return 0;
}

}  // namespace vm4417
