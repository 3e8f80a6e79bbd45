#pragma once
// The scale a window is drawn at. Scales are counted as Windows counts them,
// in dots per inch: 96 is the design's size (100 %), 144 is 150 %. When the
// scale the system asks for would make the window larger than the screen,
// the window is drawn at the largest scale that still fits, but never
// smaller than designed.

namespace vm4417 {

inline constexpr int kDesignDpi = 96;

struct PixelSize {
    int width = 0;
    int height = 0;
};

// `pixels` of the design drawn at `dpi`, rounded to the nearest pixel.
constexpr int ScaledPixels(int pixels, int dpi) {
    return (pixels * dpi + kDesignDpi / 2) / kDesignDpi;
}

// The largest scale from `wanted` down to 96 at which a client area of
// `design` (its size at 96) plus a frame of `frame` pixels fits into `area`.
// 96 when even that does not fit (the caller keeps the title bar on
// screen), and `wanted` itself when it is below 96.
int FittingDpi(int wanted, PixelSize design, PixelSize frame, PixelSize area);

}  // namespace vm4417
