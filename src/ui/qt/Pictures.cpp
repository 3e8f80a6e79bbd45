#include "Pictures.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

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

art::Image FromQImage(const QImage& image) {
    art::Image out(image.width(), image.height(), art::kTransparent);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) out.Set(x, y, image.pixel(x, y));
    return out;
}

}  // namespace

QImage LedDarkImage() { return Opaque(art::LedDarkStrip()); }

QImage LedLitImage() { return Opaque(art::LedLitStrip()); }

QPixmap LedDarkPicture() { return QPixmap::fromImage(LedDarkImage()); }

QPixmap LedLitPicture() { return QPixmap::fromImage(LedLitImage()); }

QPixmap LedCropPicture(const QImage& strip, qreal devicePixelRatio) {
    const int dpi = qRound(96 * devicePixelRatio);
    QPixmap picture =
        QPixmap::fromImage(Opaque(art::ScaledNearest(art::LedCrop(FromQImage(strip)), dpi)));
    picture.setDevicePixelRatio(devicePixelRatio);
    return picture;
}

QImage GlyphStripImage(Glyph glyph) { return Opaque(art::ButtonStrip(glyph)); }

QPixmap GlyphStrip(Glyph glyph) { return QPixmap::fromImage(GlyphStripImage(glyph)); }

QIcon ButtonIcon(Glyph glyph, qreal devicePixelRatio) {
    const QImage strip = ToQImage(art::TransparentButtonStrip(glyph), QImage::Format_ARGB32);
    QIcon icon;
    // Only the screen's own scale: given a choice, the push button's style
    // picks a pixmap of another scale and smooths it.
    for (int dpi : {qRound(96 * devicePixelRatio)}) {
        for (const auto& [left, mode] :
             {std::pair{0, QIcon::Normal}, {kCellSize, QIcon::Disabled}}) {
            const art::Image cell = FromQImage(strip.copy(left, 0, kCellSize, kCellSize));
            // Marked with its scale, so that Qt takes it for the 16-pixel
            // icon on such a screen instead of smoothing another one.
            QPixmap pixmap =
                QPixmap::fromImage(ToQImage(art::ScaledNearest(cell, dpi), QImage::Format_ARGB32));
            pixmap.setDevicePixelRatio(dpi / 96.0);
            icon.addPixmap(pixmap, mode);
        }
    }
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
