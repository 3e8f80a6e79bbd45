#pragma once
// The maker-information window (TForm2) as every front end draws it: its
// size and its labels, each left-aligned at its place and sized to its text.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "MainView.h"

namespace vm4417 {

struct LabelEntry {
    std::string_view name;
    int left = 0;
    int top = 0;
    std::string text;
    bool bold = false;
    std::optional<Rgb> colour;  // none: the system's window-text colour
};

// Client area; with an ordinary frame (4 px borders, a 23 px title bar
// including the top border) the outer size is 314 x 265.
inline constexpr int kForm2ClientWidth = 306;
inline constexpr int kForm2ClientHeight = 238;
inline constexpr int kForm2OuterWidth = 314;
inline constexpr int kForm2OuterHeight = 265;
// The labels' text height in pixels (10 point at 96 pixels per inch).
inline constexpr int kForm2LabelPixelSize = 13;

std::span<const LabelEntry> Form2Labels();

}  // namespace vm4417
