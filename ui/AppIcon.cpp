#include "ui/AppIcon.h"

#include <QColor>
#include <QPixmap>
#include <QString>
#include <algorithm>
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
constexpr int kTransparentInk = 0;
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
    return kTransparentInk;
}

char Cell(int row, int column) {
    return kPicture[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

}  // namespace

QImage AppIconImage(int size) {
    const int scale = std::max(size / kSmallIconSize, 1);
    const int side = std::max(size, kSmallIconSize);
    const int margin = (side - kSmallIconSize * scale) / 2;
    QImage image(side, side, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (const Ink& ink : kInks) table.push_back(ink.colour);
    image.setColorTable(table);
    image.fill(kTransparentInk);
    for (int row = 0; row < kSmallIconSize * scale; ++row) {
        for (int column = 0; column < kSmallIconSize * scale; ++column) {
            const char cell = Cell(row / scale, column / scale);
            image.setPixel(margin + column, margin + row, static_cast<uint>(InkIndex(cell)));
        }
    }
    return image;
}

QByteArray AppIconSvg() {
    QByteArray svg = QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
        "viewBox=\"0 0 16 16\" shape-rendering=\"crispEdges\">\n");
    // One rectangle for each run of cells of one ink along a row.
    for (int row = 0; row < kSmallIconSize; ++row) {
        for (int column = 0; column < kSmallIconSize;) {
            const char cell = Cell(row, column);
            int end = column + 1;
            while (end < kSmallIconSize && Cell(row, end) == cell) ++end;
            if (const int ink = InkIndex(cell); ink != kTransparentInk) {
                const QRgb colour = kInks[static_cast<std::size_t>(ink)].colour;
                svg += QStringLiteral(
                           "<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"1\" "
                           "fill=\"%4\"/>\n")
                           .arg(column)
                           .arg(row)
                           .arg(end - column)
                           .arg(QColor(colour).name())
                           .toLatin1();
            }
            column = end;
        }
    }
    svg += "</svg>\n";
    return svg;
}

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(AppIconImage(kSmallIconSize)));
    icon.addPixmap(QPixmap::fromImage(AppIconImage(kLargeIconSize)));
    return icon;
}

}  // namespace faderwell
