#pragma once

#include <QFont>

namespace faderwell {

/// The font every window is laid out for: "ＭＳ Ｐゴシック" at a pixel height,
/// with a metric-compatible Japanese Gothic standing in where it is missing.
QFont WindowFont(int pixelHeight, bool bold = false);

/// Registers the stand-ins for the window font. Call once, after the
/// application object exists and before any window is built.
void InstallFontSubstitutes();

inline constexpr int kDefaultFontPixels = 12;

}  // namespace faderwell
