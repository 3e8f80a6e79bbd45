#pragma once
// Where a keysym sits on the X server's keyboard map as it is now: the key,
// and the modifiers that select the key's level that carries it in the
// group in force. Typing by character looks here instead of pressing a
// fixed key, so that the same character arrives whatever the layout.

#include <X11/XKBlib.h>

#include <memory>
#include <optional>
#include <vector>

namespace vm4417 {

// A key and the modifiers to hold while it is pressed: ShiftMask, the
// AltGr (ISO_Level3_Shift) mask, both or none.
struct KeyChord {
    KeyCode keycode = 0;
    unsigned int modifiers = 0;
};

class KeyLevels {
public:
    // Reads the map (types, symbols, modifier map) and the keyboard state.
    // Nothing when the server has no XKB or the request failed.
    static std::optional<KeyLevels> Read(Display* display);

    // The key that gives `keysym` in the group in force with at most Shift
    // and AltGr held, the fewest modifiers first; nothing when no key does.
    // Locked modifiers other than Caps Lock and Shift Lock (Num Lock) are
    // counted as they stand; those two are off while a capture is typed.
    std::optional<KeyChord> Find(KeySym keysym) const;
    // The key that holds AltGr, and its modifier mask; 0 when the map has
    // none.
    KeyCode Level3Key() const { return level3Key_; }
    // A key that has no symbols and no modifier, to be given a keysym for
    // the moment; 0 when none is left besides `taken`.
    KeyCode SpareKey(const std::vector<KeyCode>& taken) const;

private:
    struct FreeKeyboard {
        void operator()(XkbDescPtr xkb) const { XkbFreeKeyboard(xkb, XkbAllComponentsMask, True); }
    };

    int GroupOf(KeyCode keycode) const;
    int LevelOf(KeyCode keycode, int group, unsigned int mods) const;

    std::unique_ptr<XkbDescRec, FreeKeyboard> xkb_;
    int group_ = 0;                  // the effective group in force
    unsigned int lockedOthers_ = 0;  // locked modifiers that stay on
    KeyCode level3Key_ = 0;
    unsigned int level3Mask_ = 0;
};

}  // namespace vm4417
