#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>

namespace faderwell {

/// The application icon, a grey box-shaped device above a green circuit
/// board, in 16 colours with a transparent background: the 16 x 16 design,
/// every cell drawn as a square of whole pixels, centred in a size x size
/// image (at least 16). So 32 x 32 is the design doubled, 24 x 24 the small one
/// with a margin. Needs no application object, so the build can write it out.
QImage AppIconImage(int size);

/// The same design as a scalable SVG document: the cells as unit squares on a
/// 16 x 16 view box, a row's neighbours of one ink drawn as one rectangle.
QByteArray AppIconSvg();

/// Both sizes of the application icon.
QIcon AppIcon();

inline constexpr int kSmallIconSize = 16;
inline constexpr int kLargeIconSize = 32;

}  // namespace faderwell
