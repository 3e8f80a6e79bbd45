#pragma once
// How a capture that was not typed reaches an operator who is not looking at
// the program's window: the desktop's own ways of asking for the user.

#include <string>

namespace vm4417 {

class Attention {
public:
    virtual ~Attention() = default;

    // The operator has the program in front: one of its windows is the
    // active one and the main window is not minimised, so its status bar
    // and list can be seen.
    virtual bool WindowInFront() = 0;
    // Asks for the operator until the main window is brought forward (the
    // taskbar entry), and shows `notice`, one line, where the desktop shows
    // notifications; a later notice replaces the one before. Never waits for
    // the desktop, and a desktop without a way of asking costs nothing.
    virtual void Ask(const std::string& notice) = 0;
};

}  // namespace vm4417
