#pragma once
// The program's pictures as GDI objects, made from the same pixel data as
// every other front end (src/ui/art).

#include <windows.h>
#include <commctrl.h>

#include "PictureArt.h"

namespace vm4417::ui {

// A 32-bit top-down DIB section holding `image` (alpha kept).
HBITMAP MakeBitmap(const art::Image& image);
// An icon of the program at `size` x `size` pixels.
HICON MakeProgramIcon(int size);
// A button image list: the glyph's normal cell for every state but the
// disabled one, which gets the greyed cell; the background transparent;
// the art enlarged to `dpi` (96 = as designed) by nearest neighbour.
HIMAGELIST MakeButtonImages(art::Glyph glyph, int dpi);
// What the LED indicator control shows of `strip` (art::LedCrop), enlarged
// to `dpi` the same way.
HBITMAP MakeLedBitmap(const art::Image& strip, int dpi);

}  // namespace vm4417::ui
