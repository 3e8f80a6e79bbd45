#pragma once
// The main window's controls as the operator first sees them: kind, place
// and size in the 484 x 563 client area, text and initial state. Every view
// builds its controls from this table.

#include <array>
#include <span>
#include <string_view>

#include "MainView.h"

namespace vm4417 {

enum class ControlKind {
    Label,
    Picture,
    SpeedButton,
    Memo,
    Bevel,
    BitBtn,
    CheckBox,
    Edit,
    StatusBar
};

struct ControlEntry {
    Control id;
    std::string_view name;
    ControlKind kind;
    int left, top, width, height;
    std::string_view text;
    bool visible = true;
    bool checked = false;
    std::string_view tip = {};  // shown while the pointer rests on the control
};

inline constexpr int kClientWidth = 484;
inline constexpr int kClientHeight = 563;
inline constexpr int kStatusPanelWidth = 500;
inline constexpr int kListLineCount = 31;

std::span<const ControlEntry> Form1Controls();
const ControlEntry& Form1Control(Control id);
// The keyboard focus order.
std::span<const Control> Form1TabOrder();

}  // namespace vm4417
