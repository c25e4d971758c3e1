#include "ui/ButtonGlyphs.h"

#include <QPixmap>
#include <set>
#include <utility>

namespace faderwell {

namespace {

using Pixel = std::pair<int, int>;  // column, row

constexpr int kBitmapWidth = 2 * kGlyphSize;
constexpr int kSquareLast = 14;  // the framed square covers rows and columns 0..14

// The sixteen colours of the bitmap; the glyphs use five of them.
QList<QRgb> SixteenColours() {
    return {qRgb(0, 0, 0),    qRgb(128, 0, 0),   qRgb(0, 128, 0),   glyph::kTransparent,
            qRgb(0, 0, 128),  qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
            glyph::kDarkGrey, qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),  qRgb(255, 0, 255), glyph::kAqua,      glyph::kWhite};
}

std::set<Pixel> Symbol(GlyphSymbol symbol) {
    std::set<Pixel> pixels;
    if (symbol == GlyphSymbol::Start) {
        // A triangle pointing right: 4 wide, 7 high, its flat side on column 6.
        constexpr int kApexRow = 7;
        for (int row = 4; row <= 10; ++row) {
            const int lastColumn = 9 - (row > kApexRow ? row - kApexRow : kApexRow - row);
            for (int column = 6; column <= lastColumn; ++column) pixels.insert({column, row});
        }
    } else {
        for (int row = 5; row <= 9; ++row) {
            for (int column = 5; column <= 9; ++column) pixels.insert({column, row});
        }
    }
    return pixels;
}

bool OnRing(int column, int row, int inset) {
    const int first = inset;
    const int last = kSquareLast - inset;
    const bool inside = column >= first && column <= last && row >= first && row <= last;
    return inside && (column == first || column == last || row == first || row == last);
}

}  // namespace

QImage ButtonGlyphBitmap(GlyphSymbol symbol) {
    QImage bitmap(kBitmapWidth, kGlyphSize, QImage::Format_Indexed8);
    bitmap.setColorTable(SixteenColours());
    // Every colour asked for is in the table, so the index is never -1.
    const auto index = [&](QRgb colour) {
        return static_cast<uint>(bitmap.colorTable().indexOf(colour));
    };
    bitmap.fill(index(glyph::kTransparent));

    std::set<Pixel> black = Symbol(symbol);
    for (int row = 0; row <= kSquareLast; ++row) {
        for (int column = 0; column <= kSquareLast; ++column) {
            if (OnRing(column, row, 1))
                black.insert({column, row});
        }
    }

    // Normal image: aqua ring, black ring, a one-pixel bevel lit from the top
    // left, a transparent interior and the symbol.
    constexpr int kBevel = 2;
    constexpr int kBevelLast = kSquareLast - kBevel;
    for (int row = 0; row <= kSquareLast; ++row) {
        for (int column = 0; column <= kSquareLast; ++column) {
            if (OnRing(column, row, 0))
                bitmap.setPixel(column, row, index(glyph::kAqua));
            if (!OnRing(column, row, kBevel))
                continue;
            const bool shadow = row == kBevelLast || column == kBevelLast;
            bitmap.setPixel(column, row, index(shadow ? glyph::kDarkGrey : glyph::kWhite));
        }
    }
    for (const auto& [column, row] : black) bitmap.setPixel(column, row, index(glyph::kBlack));

    // Disabled image: the black parts engraved, dark grey over a white copy
    // one pixel to the right and one below.
    for (const auto& [column, row] : black) {
        bitmap.setPixel(kGlyphSize + column, row, index(glyph::kDarkGrey));
        if (black.count({column + 1, row + 1}) == 0) {
            bitmap.setPixel(kGlyphSize + column + 1, row + 1, index(glyph::kWhite));
        }
    }
    return bitmap;
}

QIcon ButtonGlyphIcon(const QImage& bitmap, const QColor& highlight) {
    const QRgb transparent = bitmap.pixel(0, bitmap.height() - 1);
    const auto image = [&](int left, bool disabled) {
        QImage half =
            bitmap.copy(left, 0, kGlyphSize, kGlyphSize).convertToFormat(QImage::Format_ARGB32);
        for (int row = 0; row < half.height(); ++row) {
            for (int column = 0; column < half.width(); ++column) {
                const QRgb colour = half.pixel(column, row);
                if (colour == transparent) {
                    half.setPixel(column, row, qRgba(0, 0, 0, 0));
                } else if (disabled && colour == glyph::kWhite) {
                    half.setPixel(column, row, highlight.rgb());
                }
            }
        }
        return QPixmap::fromImage(half);
    };
    QIcon icon;
    const QPixmap normal = image(0, false);
    icon.addPixmap(normal, QIcon::Normal);
    icon.addPixmap(normal, QIcon::Active);
    icon.addPixmap(image(kGlyphSize, true), QIcon::Disabled);
    return icon;
}

}  // namespace faderwell
