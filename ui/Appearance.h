#pragma once

#include <QFont>

namespace faderwell {

/// The font every window is laid out for: "ＭＳ Ｐゴシック" at a pixel height,
/// with a metric-compatible Japanese Gothic standing in where it is missing.
QFont WindowFont(int pixelHeight, bool bold = false);

/// Registers the stand-ins for the window font. Call once, after the
/// application object exists and before any window is built.
void InstallFontSubstitutes();

/// Makes the platform's own style the application's, but with the standard
/// icons it reads from image files built only when they are first drawn:
/// reading one makes Qt load every image-format plugin it has, and the
/// windows show none of them at start (the menu bar's overflow arrow, for
/// one, is made with the bar). Call after the application object exists and
/// before any window is built; further calls do nothing.
void InstallStyle();

/// The name of the platform's style, as QStyleFactory knows it, also under
/// the style InstallStyle() puts over it.
QString PlatformStyleName();

inline constexpr int kDefaultFontPixels = 12;

}  // namespace faderwell
