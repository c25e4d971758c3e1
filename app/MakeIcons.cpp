// Writes the application icon as PNG files for the desktop's icon theme:
// MakeIcons <directory> writes <directory>/<size>x<size>/apps/faderwell.png.

#include <QDir>
#include <QImage>
#include <QString>
#include <iostream>

#include "ui/AppIcon.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::cerr << "usage: MakeIcons <directory>\n";
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (const int size : {faderwell::kSmallIconSize, faderwell::kLargeIconSize}) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString file = folder + QStringLiteral("/faderwell.png");
        if (!QDir().mkpath(folder) || !faderwell::AppIconImage(size).save(file, "PNG")) {
            std::cerr << "cannot write " << file.toStdString() << '\n';
            return 1;
        }
    }
    return 0;
}
