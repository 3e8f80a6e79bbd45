#pragma once
// Where a window goes and at which scale it is drawn: the scale of the
// monitor it is on, or the largest one at which the whole window fits that
// monitor's work area (the screen less the taskbar), never below the
// design's size.

#include <windows.h>

#include "WindowScale.h"

namespace vm4417::ui {

// The work area of `monitor`.
RECT WorkArea(HMONITOR monitor);
// Width and height of the frame (title bar and borders) that Windows draws
// around a client area at `systemDpi`; the frame always follows the
// monitor's scale, whatever scale the client area is drawn at.
PixelSize FrameSize(DWORD style, int systemDpi);
// The scale, in dots per inch, of a window whose client area is `design` at
// 96, on `monitor` whose scale is `systemDpi`.
int FittingWindowDpi(HMONITOR monitor, int systemDpi, PixelSize design, DWORD style);
// The top-left corner for a window of `outer` size that would like to be at
// `wanted`: moved inside `work`, and where the window is larger than the
// work area, to its top or left edge, so the title bar stays reachable.
POINT PlaceInside(const RECT& work, SIZE outer, POINT wanted);
// The top-left corner that centres `outer` in `work`, as PlaceInside.
POINT Centred(const RECT& work, SIZE outer);

}  // namespace vm4417::ui
