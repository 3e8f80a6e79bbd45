#include "PictureArt.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string_view>

namespace vm4417::art {
namespace {

// One 16 x 16 cell of pixel art, one character per pixel:
//   .  background (olive)     k  black     m  maroon    g  green
//   n  navy                   p  purple    t  teal      G  gray
//   s  silver                 r  red       l  lime      y  yellow
//   b  blue                   f  fuchsia   a  aqua      w  white
// Olive itself is never used as a drawing colour because it marks the
// background (and turns transparent on buttons).
using CellArt = std::array<const char*, kCellSize>;

constexpr Argb kBlack = Rgb(0, 0, 0);
constexpr Argb kGray = Rgb(128, 128, 128);
constexpr Argb kSilver = Rgb(192, 192, 192);
constexpr Argb kWhite = Rgb(255, 255, 255);

Argb ColourOf(char code) {
    switch (code) {
        case 'k': return kBlack;
        case 'm': return Rgb(128, 0, 0);
        case 'g': return Rgb(0, 128, 0);
        case 'n': return Rgb(0, 0, 128);
        case 'p': return Rgb(128, 0, 128);
        case 't': return Rgb(0, 128, 128);
        case 'G': return kGray;
        case 's': return kSilver;
        case 'r': return Rgb(255, 0, 0);
        case 'l': return Rgb(0, 255, 0);
        case 'y': return Rgb(255, 255, 0);
        case 'b': return Rgb(0, 0, 255);
        case 'f': return Rgb(255, 0, 255);
        case 'a': return Rgb(0, 255, 255);
        case 'w': return kWhite;
        default: return kPictureBackground;
    }
}

Image BlankCell(int width = kCellSize) { return Image(width, kCellSize, kPictureBackground); }

Image CellFromArt(const CellArt& art) {
    Image image = BlankCell();
    for (int y = 0; y < kCellSize; ++y) {
        const char* row = art[static_cast<std::size_t>(y)];
        for (int x = 0; x < kCellSize && row[x] != '\0'; ++x) image.Set(x, y, ColourOf(row[x]));
    }
    return image;
}

// The classic greyed glyph: every drawn pixel that is not a light colour
// (white, yellow) becomes a gray silhouette with a white copy one pixel down
// and right, as if pressed into the button face. Light parts vanish into the
// face, which keeps holes such as an open doorway readable.
Image EmbossedCell(const Image& normal) {
    Image out = BlankCell();
    auto inked = [&normal](int x, int y) {
        const Argb pixel = normal.At(x, y);
        return pixel != kPictureBackground && Gray(pixel) < 200;
    };
    for (int y = 0; y + 1 < kCellSize; ++y)
        for (int x = 0; x + 1 < kCellSize; ++x)
            if (inked(x, y)) out.Set(x + 1, y + 1, kWhite);
    for (int y = 0; y < kCellSize; ++y)
        for (int x = 0; x < kCellSize; ++x)
            if (inked(x, y)) out.Set(x, y, kGray);
    return out;
}

// The greyed LED indicator keeps its shape in shades of gray: the bezel goes
// gray, the glass silver, the highlights stay white.
Image WashedCell(const Image& normal) {
    Image out = BlankCell();
    for (int y = 0; y < kCellSize; ++y) {
        for (int x = 0; x < kCellSize; ++x) {
            const Argb pixel = normal.At(x, y);
            if (pixel == kPictureBackground) continue;
            const int luma = Gray(pixel);
            out.Set(x, y, luma < 40 ? kGray : (luma < 200 ? kSilver : kWhite));
        }
    }
    return out;
}

Image Strip(const Image& left, const Image& right) {
    Image strip = BlankCell(2 * kCellSize);
    for (int y = 0; y < kCellSize; ++y) {
        for (int x = 0; x < kCellSize; ++x) {
            strip.Set(x, y, left.At(x, y));
            strip.Set(kCellSize + x, y, right.At(x, y));
        }
    }
    return strip;
}

// --- the art -------------------------------------------------------------

// One string per pixel row keeps the pictures visible.
// clang-format off
constexpr CellArt kLedDark = {
    "................",
    ".....kkkkkk.....",
    "....kkkkkkkk....",
    "...kkggggggkk...",
    "..kkgGGgggggkk..",
    ".kkgGggggggggkk.",
    ".kkggggggggggkk.",
    ".kkggggggggggkk.",
    ".kkggggggggggkk.",
    ".kkggggggggggkk.",
    ".kkggggggggggkk.",
    "..kkggggggggkk..",
    "...kkggggggkk...",
    "....kkkkkkkk....",
    ".....kkkkkk.....",
    "................",
};

constexpr CellArt kLedLit = {
    "................",
    ".....kkkkkk.....",
    "....kkkkkkkk....",
    "...kkllllllkk...",
    "..kklwwlllllkk..",
    ".kklwwwllllllkk.",
    ".kklwwlllllllkk.",
    ".kkllllllllllkk.",
    ".kkllllllllllkk.",
    ".kklllllllllgkk.",
    ".kkllllllllggkk.",
    "..kklllllgggkk..",
    "...kkllggggkk...",
    "....kkkkkkkk....",
    ".....kkkkkk.....",
    "................",
};

constexpr CellArt kBlock = {
    "................",
    ".rr...kkkk...rr.",
    "..rr..kkkk..rr..",
    "...rr.kkkk.rr...",
    "....rrkkkkrr....",
    ".....rrkkrr.....",
    "......rrrr......",
    ".......rr.......",
    "......rrrr......",
    ".....rrkkrr.....",
    "....rr.kk.rr....",
    "...rr......rr...",
    "..rr..kkkk..rr..",
    ".rr...kkkk...rr.",
    "................",
    "................",
};

constexpr CellArt kUnblock = {
    "................",
    "................",
    ".............gg.",
    "............ggg.",
    "...........ggg..",
    "..........ggg...",
    ".........ggg....",
    "..g.....ggg.....",
    ".ggg...ggg......",
    "..ggg.ggg.......",
    "...ggggg........",
    "....ggg.........",
    ".....g..........",
    "................",
    "................",
    "................",
};

constexpr CellArt kRepeatRead = {
    "................",
    "..bbb...........",
    ".bb....rrrrrr...",
    ".bb...rrr..rrr..",
    ".bb...rr....rr..",
    ".bb.........rr..",
    "bb.........rrr..",
    "b.........rrr...",
    "bb.......rrr....",
    ".bb......rr.....",
    ".bb......rr.....",
    ".bb.............",
    ".bb......rr.....",
    "..bbb....rr.....",
    "................",
    "................",
};

constexpr CellArt kResetNumbering = {
    "................",
    "........kkk.....",
    ".......kaabk....",
    "......kabbbbk...",
    ".....kabbbbbnk..",
    "....kabbbbbnnk..",
    "...kkbbbbbnnk...",
    "..kwkkbbbnnk....",
    ".kwrrkkbnnk.....",
    "kwrrrrkknk......",
    "krrrrrmkk.......",
    "kkrrrmmk........",
    ".kkrmmk.........",
    "..kkkk..........",
    "................",
    "................",
};

constexpr CellArt kExit = {
    "................",
    ".kk.............",
    ".kmk.kkkkkkkkk..",
    ".kmmkkyyyyyyyk..",
    ".kmmmkyyyyyyyk..",
    ".kmmmkyyyyyyyk..",
    ".kmmmkyyyyyyyk..",
    ".kmmmkyyyyyyyk..",
    ".kmymkyyyyyyyk..",
    ".kmmmkyyyyyyyk..",
    ".kmmmkyyyyyyyk..",
    ".kmmmkyyyyyyyk..",
    ".kmmmkyyyyyyyk..",
    ".kmmkkkkkkkkkk..",
    ".kmk............",
    ".kk.............",
};

constexpr CellArt kDemo = {
    "................",
    ".....rrrrr......",
    "...rrrrrr.......",
    "..rrrr.kk.......",
    "..rr...kk....r..",
    ".rrr...kk...rrr.",
    ".rr....kk..rrrrr",
    ".rr....kk....rr.",
    ".rr....kk....rr.",
    ".rr..........rr.",
    ".rrr...kk...rrr.",
    "..rr...kk...rr..",
    "..rrrr....rrrr..",
    "...rrrrrrrrrr...",
    ".....rrrrrr.....",
    "................",
};

constexpr CellArt kMakerInfo = {
    "................",
    "................",
    "...rrrrrrrrrr...",
    "..rrrrrrrrrrrr..",
    ".rrrrmmmmmmrrrr.",
    ".rrrm......mrrr.",
    ".mmm...kk...mmm.",
    ".....krrrrk.....",
    "....krrrrrrk....",
    "...krrwwwwrrk...",
    "...krwkwwkwrk...",
    "..krrwwwwwwrrk..",
    "..krrwkwwkwrrk..",
    ".krrrrwwwwrrrrk.",
    ".kkkkkkkkkkkkkk.",
    "................",
};
// clang-format on

// Every row exactly one cell wide and only palette codes: a slip in the art
// above fails the build instead of drawing a shifted or truncated row.
constexpr bool WellFormed(const CellArt& art) {
    constexpr std::string_view codes = ".kmgnptGsrlybfaw";
    for (const char* row : art) {
        int length = 0;
        for (; row[length] != '\0'; ++length)
            if (codes.find(row[length]) == std::string_view::npos) return false;
        if (length != kCellSize) return false;
    }
    return true;
}
static_assert(WellFormed(kLedDark) && WellFormed(kLedLit));
static_assert(WellFormed(kBlock) && WellFormed(kUnblock) && WellFormed(kRepeatRead));
static_assert(WellFormed(kResetNumbering) && WellFormed(kExit) && WellFormed(kDemo));
static_assert(WellFormed(kMakerInfo));

const CellArt& ArtOf(Glyph glyph) {
    switch (glyph) {
        case Glyph::Block: return kBlock;
        case Glyph::Unblock: return kUnblock;
        case Glyph::LedOn: return kLedLit;
        case Glyph::LedOff: return kLedDark;
        case Glyph::RepeatRead: return kRepeatRead;
        case Glyph::ResetNumbering: return kResetNumbering;
        case Glyph::Exit: return kExit;
        case Glyph::Demo: return kDemo;
        case Glyph::MakerInfo: return kMakerInfo;
    }
    return kBlock;
}

// --- program icon --------------------------------------------------------
// Drawn per pixel from shapes in unit coordinates, so each size is crisp
// (no antialiasing) and still well proportioned.

struct IconCanvas {
    Image image;
    double scale;  // pixels per unit

    explicit IconCanvas(int size) : image(size, size, kTransparent), scale(size) {}

    // Pixel centre in unit coordinates.
    double U(int pixel) const { return (pixel + 0.5) / scale; }

    template <typename Inside>
    void Fill(Argb colour, Inside inside) {
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                if (inside(U(x), U(y))) image.Set(x, y, colour);
    }
};

// Signed-distance style tests; all in unit coordinates.
bool InRoundedRect(double x, double y, double left, double top, double right, double bottom,
                   double radius) {
    if (x < left || x > right || y < top || y > bottom) return false;
    const double cx = std::clamp(x, left + radius, right - radius);
    const double cy = std::clamp(y, top + radius, bottom - radius);
    return std::hypot(x - cx, y - cy) <= radius;
}

bool InCircle(double x, double y, double cx, double cy, double r) {
    return std::hypot(x - cx, y - cy) <= r;
}

// A teardrop: circles swept from (x1, y1) radius r1 to (x2, y2) radius r2.
bool InTeardrop(double x, double y, double x1, double y1, double r1, double x2, double y2,
                double r2) {
    const double dx = x2 - x1, dy = y2 - y1;
    const double t = std::clamp(((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return InCircle(x, y, x1 + t * dx, y1 + t * dy, r1 + t * (r2 - r1));
}

}  // namespace

Image Image::Copy(int x, int y, int w, int h) const {
    Image part(w, h, kTransparent);
    for (int row = 0; row < h; ++row)
        for (int column = 0; column < w; ++column) part.Set(column, row, At(x + column, y + row));
    return part;
}

Image LedDarkStrip() {
    const Image normal = CellFromArt(kLedDark);
    return Strip(normal, WashedCell(normal));
}

Image LedLitStrip() {
    const Image normal = CellFromArt(kLedLit);
    return Strip(normal, WashedCell(normal));
}

Image LedCrop(const Image& strip) { return strip.Copy(0, 0, kCellSize + 1, kCellSize); }

Image ScaledNearest(const Image& image, int dpi) {
    constexpr int kDesign = 96;
    auto scaled = [dpi](int pixels) { return (pixels * dpi + kDesign / 2) / kDesign; };
    // Each output pixel takes the art pixel under its centre.
    auto source = [dpi](int pixel, int limit) {
        return std::min(limit - 1, ((2 * pixel + 1) * kDesign) / (2 * dpi));
    };
    Image out(scaled(image.width), scaled(image.height), kTransparent);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            out.Set(x, y, image.At(source(x, image.width), source(y, image.height)));
    return out;
}

Image ButtonStrip(Glyph glyph) {
    // The LED buttons show the indicator itself, greyed the same way, so a
    // disabled LED button still shows which LED state it stands for.
    if (glyph == Glyph::LedOn) return LedLitStrip();
    if (glyph == Glyph::LedOff) return LedDarkStrip();
    const Image normal = CellFromArt(ArtOf(glyph));
    return Strip(normal, EmbossedCell(normal));
}

Image TransparentButtonStrip(Glyph glyph) {
    Image image = ButtonStrip(glyph);
    for (Argb& pixel : image.pixels)
        if (pixel == kPictureBackground) pixel = kTransparent;
    return image;
}

Image ProgramIcon(int size) {
    size = std::max(size, kCellSize);
    IconCanvas canvas(size);
    const double px = 1.0 / size;                     // one pixel
    const double line = std::max(1, size / 16) * px;  // outline width

    // Reader body: a silver box with a black outline and a gray reading pad.
    const double bodyL = 0.03, bodyT = 0.44, bodyR = 0.97, bodyB = 0.97, bodyRadius = 0.12;
    canvas.Fill(kBlack, [&](double x, double y) {
        return InRoundedRect(x, y, bodyL, bodyT, bodyR, bodyB, bodyRadius);
    });
    canvas.Fill(kSilver, [&](double x, double y) {
        return InRoundedRect(x, y, bodyL + line, bodyT + line, bodyR - line, bodyB - line,
                             bodyRadius - line);
    });
    canvas.Fill(kGray, [&](double x, double y) {
        return InRoundedRect(x, y, 0.38, 0.60, 0.88, 0.88, 0.05);
    });
    // Status LED, lit, on the left of the box.
    const double ledX = 0.19, ledY = 0.72, ledR = 0.12;
    canvas.Fill(kBlack, [&](double x, double y) { return InCircle(x, y, ledX, ledY, ledR); });
    canvas.Fill(ColourOf('l'),
                [&](double x, double y) { return InCircle(x, y, ledX, ledY, ledR - px); });
    // The chip tag held over the pad: a blue key fob, a teardrop whose narrow
    // end carries the key-ring hole.
    const double tagX = 0.64, tagY = 0.42, tagR = 0.27;
    const double tabX = 0.38, tabY = 0.17, tabR = 0.12;
    auto inTag = [&](double x, double y, double inset) {
        return InTeardrop(x, y, tagX, tagY, tagR - inset, tabX, tabY, tabR - inset);
    };
    canvas.Fill(kBlack, [&](double x, double y) { return inTag(x, y, 0.0); });
    canvas.Fill(ColourOf('b'), [&](double x, double y) { return inTag(x, y, line); });
    // Key-ring hole, see-through.
    canvas.Fill(kTransparent, [&](double x, double y) {
        return InCircle(x, y, tabX, tabY, std::max(0.05, 0.75 * px));
    });
    // A highlight on the disc.
    canvas.Fill(ColourOf('a'), [&](double x, double y) {
        return InCircle(x, y, tagX - 0.11, tagY - 0.10, std::max(0.05, 0.6 * px));
    });
    return canvas.image;
}

}  // namespace vm4417::art
