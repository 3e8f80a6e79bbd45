#pragma once
// What assistive technology (a screen reader) is told about the main
// window's controls, beside what it reads from their texts: a name for a
// control without a text, the label that names a control, and what a
// control does where its name alone does not tell. Both front ends apply
// this one table, each through its system's means.

#include <optional>
#include <string_view>

#include "MainView.h"

namespace vm4417 {

struct AccessibleEntry {
    Control id;
    // Empty: the control's own text (a button's caption) is its name.
    std::string_view name = {};
    // The label whose text names the control, instead of `name`.
    std::optional<Control> label = {};
    std::string_view description = {};
};

// The control's entry; a control not in the table has an entry with only
// its id (its own text names it, nothing more is said).
AccessibleEntry Form1Accessible(Control control);
// The name a screen reader gives the control: its entry's name, the text of
// its label, or its own text from the control table.
std::string_view Form1AccessibleName(Control control);
// The LED indicator's name (both of its pictures carry it) for the state it
// shows.
std::string_view LedIndicatorName(bool lit);

}  // namespace vm4417
