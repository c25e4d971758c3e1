#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

namespace faderwell {

/// The symbol an image button of the fade strip carries.
enum class GlyphSymbol {
    Start,  // a play sign
    Stop,   // a square
};

inline constexpr int kGlyphSize = 16;

/// Colours of the glyph bitmaps.
namespace glyph {
inline constexpr QRgb kTransparent = qRgb(128, 128, 0);  // olive
inline constexpr QRgb kAqua = qRgb(0, 255, 255);
inline constexpr QRgb kBlack = qRgb(0, 0, 0);
inline constexpr QRgb kWhite = qRgb(255, 255, 255);
inline constexpr QRgb kDarkGrey = qRgb(127, 127, 127);
}  // namespace glyph

/// The 32 x 16 bitmap of 16 colours with two images side by side: the left
/// one for the normal and the pressed state, the right one for the disabled
/// state. Its bottom-left pixel holds the transparent colour.
QImage ButtonGlyphBitmap(GlyphSymbol symbol);

/// The icon a button draws from such a bitmap: the transparent colour shows
/// the button face, and the white of the disabled image is drawn in
/// `highlight`, the palette's colour for the lit edge of 3D bevels.
QIcon ButtonGlyphIcon(const QImage& bitmap, const QColor& highlight);

}  // namespace faderwell
