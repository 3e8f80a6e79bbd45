#include "WinPictures.h"

#include <cstring>

namespace vm4417::ui {

HBITMAP MakeBitmap(const art::Image& image) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top-down, as the art
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        // 0xAARRGGBB in memory order is B, G, R, A: what a 32-bit DIB wants.
        std::memcpy(bits, image.pixels.data(), image.pixels.size() * sizeof(art::Argb));
    }
    return bitmap;
}

namespace {

// Alpha icons want premultiplied colour only in image lists; icons built by
// CreateIconIndirect take straight alpha plus a mask for old displays.
HICON MakeIcon(const art::Image& image) {
    HBITMAP colour = MakeBitmap(image);
    HBITMAP mask = CreateBitmap(image.width, image.height, 1, 1, nullptr);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = colour;
    info.hbmMask = mask;
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
}

}  // namespace

HICON MakeProgramIcon(int size) { return MakeIcon(art::ProgramIcon(size)); }

HIMAGELIST MakeButtonImages(art::Glyph glyph, int dpi) {
    const art::Image strip = art::TransparentButtonStrip(glyph);
    const art::Image normal =
        art::ScaledNearest(strip.Copy(0, 0, art::kCellSize, art::kCellSize), dpi);
    const art::Image greyed =
        art::ScaledNearest(strip.Copy(art::kCellSize, 0, art::kCellSize, art::kCellSize), dpi);
    HIMAGELIST list = ImageList_Create(normal.width, normal.height, ILC_COLOR32, 6, 0);
    HICON normalIcon = MakeIcon(normal);
    HICON greyedIcon = MakeIcon(greyed);
    // Order of the button states: normal, hot, pressed, disabled, default,
    // stylus hot.
    for (int state = 0; state < 6; ++state) {
        ImageList_AddIcon(list, state == 3 ? greyedIcon : normalIcon);
    }
    DestroyIcon(normalIcon);
    DestroyIcon(greyedIcon);
    return list;
}

HBITMAP MakeLedBitmap(const art::Image& strip, int dpi) {
    return MakeBitmap(art::ScaledNearest(art::LedCrop(strip), dpi));
}

}  // namespace vm4417::ui
