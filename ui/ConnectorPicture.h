#pragma once

#include <QPixmap>

namespace faderwell {

inline constexpr int kConnectorPictureSize = 32;

/// The five-pin DIN socket seen from the front, 32 × 32, transparent
/// outside the disc.
QPixmap ConnectorPicture();

}  // namespace faderwell
