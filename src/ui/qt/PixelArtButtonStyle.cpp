#include "PixelArtButtonStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QStyleOptionButton>
#include <QtMath>

namespace vm4417::ui {

namespace {

// The icon's mode and state as the base style picks them for a button label.
QPixmap LabelPicture(const QStyleOptionButton& button, qreal devicePixelRatio) {
    QIcon::Mode mode = button.state & QStyle::State_Enabled ? QIcon::Normal : QIcon::Disabled;
    if (mode == QIcon::Normal && button.state & QStyle::State_HasFocus) mode = QIcon::Active;
    const QIcon::State state = button.state & QStyle::State_On ? QIcon::On : QIcon::Off;
    return button.icon.pixmap(button.iconSize, devicePixelRatio, mode, state);
}

// Text beside a picture, as the base style draws a button label: the two
// centred together, the text two pixels right of the picture. The picture
// takes its true logical width, rounded up, not the rounded-down one the
// base style gives it, so that it never runs into the text.
struct LabelLayout {
    QRect picture;
    QRect text;
    int textFlags = 0;
};

LabelLayout LayOut(const QStyleOptionButton& button, QSize picture, const QStyle& style,
                   const QWidget* widget) {
    LabelLayout layout;
    layout.textFlags = Qt::AlignVCenter | Qt::TextShowMnemonic;
    if (!style.styleHint(QStyle::SH_UnderlineShortcut, &button, widget)) {
        layout.textFlags |= Qt::TextHideMnemonic;
    }
    int labelWidth = picture.width();
    if (!button.text.isEmpty()) {
        labelWidth +=
            button.fontMetrics.boundingRect(button.rect, layout.textFlags, button.text).width() + 4;
    }
    const QRect rect = button.rect;
    layout.picture =
        QStyle::visualRect(button.direction, rect,
                           QRect(QPoint(rect.x() + (rect.width() - labelWidth) / 2,
                                        rect.y() + (rect.height() - picture.height()) / 2),
                                 picture));
    layout.text = rect;
    if (button.direction == Qt::RightToLeft) {
        layout.textFlags |= Qt::AlignRight;
        layout.text.setRight(layout.picture.left() - 2);
    } else {
        layout.textFlags |= Qt::AlignLeft;
        layout.text.setLeft(layout.picture.right() + 1 + 2);
    }
    if (button.state & (QStyle::State_On | QStyle::State_Sunken)) {
        layout.picture.translate(
            style.pixelMetric(QStyle::PM_ButtonShiftHorizontal, &button, widget),
            style.pixelMetric(QStyle::PM_ButtonShiftVertical, &button, widget));
    }
    return layout;
}

// Draws `picture` unscaled, its corner on the device pixel nearest `topLeft`.
void DrawOnPixelGrid(QPainter& painter, QPoint topLeft, QPixmap picture) {
    const QTransform toDevice = painter.deviceTransform();
    const QPointF corner = toDevice.map(QPointF(topLeft));
    const QPointF snapped(qRound(corner.x()), qRound(corner.y()));
    // Marked with the painter's own scale, the picture covers exactly its
    // own number of device pixels.
    picture.setDevicePixelRatio(toDevice.m11());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawPixmap(toDevice.inverted().map(snapped), picture);
    painter.restore();
}

}  // namespace

void PixelArtButtonStyle::drawControl(ControlElement element, const QStyleOption* option,
                                      QPainter* painter, const QWidget* widget) const {
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (element != CE_PushButtonLabel || button == nullptr || button->icon.isNull() ||
        painter->deviceTransform().type() > QTransform::TxScale) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const qreal scale = painter->deviceTransform().m11();
    const QPixmap picture = LabelPicture(*button, painter->device()->devicePixelRatio());
    const QSize logical(qCeil(picture.width() / scale), qCeil(picture.height() / scale));
    const LabelLayout layout = LayOut(*button, logical, *proxy(), widget);
    proxy()->drawItemText(painter, layout.text, layout.textFlags, button->palette,
                          button->state & State_Enabled, button->text, QPalette::ButtonText);
    DrawOnPixelGrid(*painter, layout.picture.topLeft(), picture);
}

QStyle* PixelArtButtons() {
    static QPointer<PixelArtButtonStyle> style;
    if (!style) {
        style = new PixelArtButtonStyle;
        style->setParent(qApp);
    }
    return style;
}

}  // namespace vm4417::ui
