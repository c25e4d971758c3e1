#include "ui/ConnectorPicture.h"

#include <QImage>
#include <QPainter>
#include <array>

namespace faderwell {

QPixmap ConnectorPicture() {
    // Hard edges, as a 16-colour icon has them: every pixel is face, metal or clear.
    QImage picture(kConnectorPictureSize, kConnectorPictureSize, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    // The disc pixel by pixel, so that it fills the square evenly on all four sides.
    constexpr double kDiscRadius = kConnectorPictureSize / 2.0;
    for (int y = 0; y < kConnectorPictureSize; ++y) {
        for (int x = 0; x < kConnectorPictureSize; ++x) {
            const double dx = x + 0.5 - kDiscRadius;
            const double dy = y + 0.5 - kDiscRadius;
            if (dx * dx + dy * dy <= kDiscRadius * kDiscRadius)
                picture.setPixelColor(x, y, Qt::white);
        }
    }

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    // The five pins, 45° apart on an arc over the centre: top, its two
    // neighbours, and the outer two lower at the sides; placed on whole
    // pixels, mirrored, so that the small picture stays symmetric.
    constexpr int kPin = 6;
    const QRect topPin(13, 2, kPin, kPin);
    const std::array leftPins{QRect(5, 4, kPin, kPin), QRect(3, 12, kPin, kPin)};
    painter.drawEllipse(topPin);
    for (const QRect& pin : leftPins) {
        painter.drawEllipse(pin);
        painter.drawEllipse(QRect(kConnectorPictureSize - pin.x() - kPin, pin.y(), kPin, kPin));
    }
    // The key notch at the bottom centre.
    painter.drawRect(QRect(14, 24, 4, 6));
    painter.end();
    return QPixmap::fromImage(picture);
}

}  // namespace faderwell
