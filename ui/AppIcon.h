#pragma once

#include <QIcon>
#include <QImage>

namespace faderwell {

/// The application icon, a grey box-shaped device above a green circuit
/// board, at 16 x 16 or 32 x 32 pixels in 16 colours with a transparent
/// background. Needs no application object, so the build can write it out.
QImage AppIconImage(int size);

/// Both sizes of the application icon.
QIcon AppIcon();

inline constexpr int kSmallIconSize = 16;
inline constexpr int kLargeIconSize = 32;

}  // namespace faderwell
