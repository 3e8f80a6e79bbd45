#pragma once
// The window font: the design's "MS Sans Serif" 8 point where Windows has it
// with every Czech letter, otherwise the first face that has them all and in
// which every text fits its control.

#include <windows.h>

#include <span>
#include <string>

namespace vm4417::ui {

// The faces tried, best first.
std::span<const wchar_t* const> UiFontCandidates();

// -MulDiv(points, dpi, 72): 8 point is -11 at 96 dots per inch.
int FontHeight(int points, int dpi);
HFONT CreateUiFont(const std::wstring& face, int height, bool bold = false);
// True when `font` has a glyph of its own for every Czech letter.
bool DrawsCzech(HDC dc, HFONT font);
// Width and height of `text` drawn in `font`.
SIZE TextSize(HDC dc, HFONT font, const std::wstring& text);

}  // namespace vm4417::ui
