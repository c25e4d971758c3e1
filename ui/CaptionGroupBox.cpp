#include "ui/CaptionGroupBox.h"

#include <qdrawutil.h>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

namespace faderwell {

CaptionGroupBox::CaptionGroupBox(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent) {}

QRect CaptionGroupBox::FrameRect() const {
    return rect().adjusted(0, fontMetrics().height() / 2, 0, 0);
}

QRect CaptionGroupBox::CaptionRect() const {
    const QFontMetrics metrics = fontMetrics();
    return {kCaptionLeft, 0, metrics.horizontalAdvance(title()), metrics.height()};
}

void CaptionGroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect caption = CaptionRect();
    // An etched line in the palette's shadow and light, paused behind the caption.
    painter.setClipRegion(QRegion(rect()) -
                          QRegion(caption.adjusted(-kCaptionGap, 0, kCaptionGap, 0)));
    qDrawShadeRect(&painter, FrameRect(), palette(), true, 1, 0);
    painter.setClipping(false);
    style()->drawItemText(&painter, caption,
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, palette(),
                          isEnabled(), title(), QPalette::WindowText);
}

}  // namespace faderwell
