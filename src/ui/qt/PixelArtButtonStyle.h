#pragma once
// The push buttons' pictures drawn pixel for pixel. At a fractional scale the
// style rounds a picture's size down to whole logical pixels and squeezes the
// picture into that, which blurs the pixel art and makes it a few pixels too
// small. This style draws the label itself: the text as the base style
// would, and the picture on the device's pixel grid at the size the icon
// made it. The rest of the button is the base style's.

#include <QProxyStyle>

namespace vm4417::ui {

class PixelArtButtonStyle final : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
};

// One instance for all push buttons, owned by the application.
QStyle* PixelArtButtons();

}  // namespace vm4417::ui
