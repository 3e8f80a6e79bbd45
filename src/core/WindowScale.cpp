#include "WindowScale.h"

namespace vm4417 {

int FittingDpi(int wanted, PixelSize design, PixelSize frame, PixelSize area) {
    auto fits = [&](int dpi) {
        return ScaledPixels(design.width, dpi) + frame.width <= area.width &&
               ScaledPixels(design.height, dpi) + frame.height <= area.height;
    };
    int dpi = wanted;
    while (dpi > kDesignDpi && !fits(dpi)) --dpi;
    return dpi;
}

}  // namespace vm4417
