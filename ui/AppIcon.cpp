#include "ui/AppIcon.h"

#include <QPixmap>
#include <array>
#include <string_view>

namespace faderwell {

namespace {

// The icon on a 16 x 16 grid; the large size doubles every cell.
// K black, W white, S silver, D dark grey, g board green, L bright green
// (traces and the device's lamp), Y gold (pads and pins), . transparent.
constexpr std::array<std::string_view, kSmallIconSize> kPicture{
    "................",  //
    "......KKKKKKKK..",  // the device: a lit top face,
    ".....KWWWWWWWKK.",  //
    "....KWWWWWWWKDK.",  //
    "...KKKKKKKKKDDK.",  // a shaded right side,
    "...KSSSSSSSKDDK.",  //
    "...KSKKKKKSKDDK.",  // a slot on its silver front
    "...KSSSSSLSKDK..",  // and a lamp
    "...KSSSSSSSKK...",  //
    "...KKKKKKKKK....",  //
    ".KKKKKKKKKKKKKK.",  // the circuit board
    ".KgLLLgggYggLgK.",  //
    ".KgYggLLLLgYLgK.",  //
    ".KKKKKKKKKKKKKK.",  //
    "..Y.Y.Y.Y.Y.Y...",  // its edge pins
    "................",  //
};

struct Ink {
    char cell;
    QRgb colour;
};

// Sixteen entries, the transparent one first.
constexpr std::array<Ink, 16> kInks{{
    {'.', qRgba(0, 0, 0, 0)},
    {'K', qRgb(0, 0, 0)},
    {'W', qRgb(255, 255, 255)},
    {'S', qRgb(192, 192, 192)},
    {'D', qRgb(128, 128, 128)},
    {'g', qRgb(0, 128, 0)},
    {'L', qRgb(0, 255, 0)},
    {'Y', qRgb(255, 255, 0)},
    {'r', qRgb(128, 0, 0)},
    {'o', qRgb(128, 128, 0)},
    {'n', qRgb(0, 0, 128)},
    {'p', qRgb(128, 0, 128)},
    {'t', qRgb(0, 128, 128)},
    {'R', qRgb(255, 0, 0)},
    {'B', qRgb(0, 0, 255)},
    {'A', qRgb(0, 255, 255)},
}};

int InkIndex(char cell) {
    for (std::size_t i = 0; i < kInks.size(); ++i) {
        if (kInks[i].cell == cell)
            return static_cast<int>(i);
    }
    return 0;
}

}  // namespace

QImage AppIconImage(int size) {
    const int scale = size >= kLargeIconSize ? kLargeIconSize / kSmallIconSize : 1;
    const int side = kSmallIconSize * scale;
    QImage image(side, side, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (const Ink& ink : kInks) table.push_back(ink.colour);
    image.setColorTable(table);
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            const char cell = kPicture[static_cast<std::size_t>(row / scale)]
                                      [static_cast<std::size_t>(column / scale)];
            image.setPixel(column, row, static_cast<uint>(InkIndex(cell)));
        }
    }
    return image;
}

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(AppIconImage(kSmallIconSize)));
    icon.addPixmap(QPixmap::fromImage(AppIconImage(kLargeIconSize)));
    return icon;
}

}  // namespace faderwell
