#pragma once
// The program's pictures as Qt images: the LED indicator, the button glyphs
// and the program icon, from the toolkit-free pixel art in src/ui/art; there
// are no image files. Everything returning QPixmap or QIcon needs a
// QGuiApplication; the QImage variants work without one.

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRgb>

#include "PictureArt.h"

namespace vm4417::ui {

// The colour that stands for "no picture here". The indicator strips keep it
// as an opaque background; the button icons turn it transparent.
inline constexpr QRgb kPictureBackground = art::kPictureBackground;

// Width and height of one cell; a strip is two cells side by side, the
// normal look on the left and the greyed (disabled) look on the right.
inline constexpr int kCellSize = art::kCellSize;

using art::Glyph;

// LED indicator strips, 32 x 16, opaque, on the olive background. The window
// shows them unscaled in a 17 x 17 control, i.e. the whole first cell plus
// the first column of the second one, which is background.
QImage LedDarkImage();
QImage LedLitImage();
QPixmap LedDarkPicture();
QPixmap LedLitPicture();
// What the indicator control shows (art::LedCrop) for a screen of
// `devicePixelRatio`: enlarged by nearest neighbour to whole device pixels,
// so that Qt draws it pixel for pixel instead of smoothing it.
QPixmap LedCropPicture(const QImage& strip, qreal devicePixelRatio);

// The raw 32 x 16 two-cell strip of a button glyph, olive background kept.
QImage GlyphStripImage(Glyph glyph);
QPixmap GlyphStrip(Glyph glyph);

// 16 x 16 button icon: QIcon::Normal from the first cell, QIcon::Disabled
// from the second, the background transparent; also enlarged by nearest
// neighbour for the usual screen scales (125 % to 300 %), which Qt then
// takes as they are instead of smoothing the 16-pixel art.
// `devicePixelRatio` adds the pixmaps for a screen of that scale.
QIcon ButtonIcon(Glyph glyph, qreal devicePixelRatio = 1);

// The program's icon (a reader pad with a chip tag and a lit LED), drawn for
// 16, 32 and 48 pixels; ProgramIconImage draws any size >= 16 with a
// transparent background.
QImage ProgramIconImage(int size);
QIcon ProgramIcon();

}  // namespace vm4417::ui
