#pragma once
// The program's pictures as pixels, without any toolkit: the LED indicator,
// the button glyphs and the program icon, all drawn from 16-colour pixel art
// or simple shapes. Every front end turns these buffers into its own images.

#include <cstdint>
#include <vector>

namespace vm4417::art {

// 0xAARRGGBB, the layout of Qt's QRgb and of a Windows top-down DIB.
using Argb = std::uint32_t;

constexpr Argb Rgb(int red, int green, int blue) {
    return 0xFF000000u | (static_cast<Argb>(red) << 16) | (static_cast<Argb>(green) << 8) |
           static_cast<Argb>(blue);
}
constexpr int Red(Argb c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr int Green(Argb c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int Blue(Argb c) { return static_cast<int>(c & 0xFF); }
constexpr int Alpha(Argb c) { return static_cast<int>(c >> 24); }
// Brightness 0..255, weighted as Qt's qGray.
constexpr int Gray(Argb c) { return (Red(c) * 11 + Green(c) * 16 + Blue(c) * 5) / 32; }

inline constexpr Argb kTransparent = 0x00000000u;

// The colour that stands for "no picture here". The indicator strips keep it
// as an opaque background; the button icons turn it transparent.
inline constexpr Argb kPictureBackground = Rgb(128, 128, 0);

// Width and height of one cell; a strip is two cells side by side, the
// normal look on the left and the greyed (disabled) look on the right.
inline constexpr int kCellSize = 16;

enum class Glyph {
    Block,           // red cross over an exclamation mark
    Unblock,         // green tick
    LedOn,           // the lit LED
    LedOff,          // the dark LED
    RepeatRead,      // red question mark with a blue brace
    ResetNumbering,  // eraser
    Exit,            // open door
    Demo,            // red circular arrow around an exclamation mark
    MakerInfo,       // red telephone
};

// Rows top to bottom, pixels left to right.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Argb> pixels;

    Image() = default;
    Image(int w, int h, Argb fill)
        : width(w),
          height(h),
          pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
    Argb At(int x, int y) const { return pixels[Index(x, y)]; }
    void Set(int x, int y, Argb colour) { pixels[Index(x, y)] = colour; }
    // The `w` x `h` part whose top-left corner is (x, y).
    Image Copy(int x, int y, int w, int h) const;

private:
    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(x);
    }
};

// LED indicator strips, 32 x 16, opaque, on the olive background.
Image LedDarkStrip();
Image LedLitStrip();
// What the 17 x 17 indicator control shows of a strip at the design's size:
// the first cell and the first column of the second, which is background,
// 17 x 16 (the control's last row is the window's face).
Image LedCrop(const Image& strip);
// `image` enlarged (or reduced) by dpi / 96 with nearest-neighbour
// sampling, to the nearest whole pixel: every pixel keeps one of the art's
// colours, so the pixel art stays sharp. At whole factors (192, 288) each
// art pixel becomes an equal square; in between, some art pixels get one
// pixel more than their neighbours.
Image ScaledNearest(const Image& image, int dpi);
// The raw 32 x 16 two-cell strip of a button glyph, olive background kept.
Image ButtonStrip(Glyph glyph);
// The same with the background made transparent.
Image TransparentButtonStrip(Glyph glyph);
// The program's icon (a reader pad with a chip tag and a lit LED) at any
// size >= 16, transparent around it.
Image ProgramIcon(int size);

}  // namespace vm4417::art
