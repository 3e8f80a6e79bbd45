#include "Pictures.h"

#include <algorithm>

namespace vm4417::ui {
namespace {

// QRgb and art::Argb share the 0xAARRGGBB layout.
QImage ToQImage(const art::Image& image, QImage::Format format) {
    QImage out(image.width, image.height, format);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) out.setPixel(x, y, image.At(x, y));
    return out;
}

QImage Opaque(const art::Image& image) { return ToQImage(image, QImage::Format_RGB32); }

}  // namespace

QImage LedDarkImage() { return Opaque(art::LedDarkStrip()); }

QImage LedLitImage() { return Opaque(art::LedLitStrip()); }

QPixmap LedDarkPicture() { return QPixmap::fromImage(LedDarkImage()); }

QPixmap LedLitPicture() { return QPixmap::fromImage(LedLitImage()); }

QImage GlyphStripImage(Glyph glyph) { return Opaque(art::ButtonStrip(glyph)); }

QPixmap GlyphStrip(Glyph glyph) { return QPixmap::fromImage(GlyphStripImage(glyph)); }

QIcon ButtonIcon(Glyph glyph) {
    const QImage strip = ToQImage(art::TransparentButtonStrip(glyph), QImage::Format_ARGB32);
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(strip.copy(0, 0, kCellSize, kCellSize)), QIcon::Normal);
    icon.addPixmap(QPixmap::fromImage(strip.copy(kCellSize, 0, kCellSize, kCellSize)),
                   QIcon::Disabled);
    return icon;
}

QImage ProgramIconImage(int size) {
    return ToQImage(art::ProgramIcon(std::max(size, kCellSize)), QImage::Format_ARGB32);
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
    return icon;
}

}  // namespace vm4417::ui
