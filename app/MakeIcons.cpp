// Writes the application icon for the desktop's icon theme, drawn by the same
// code as the window's icon: MakeIcons <directory> <size>... writes
// <directory>/<size>x<size>/apps/faderwell.png for each size and the scalable
// <directory>/scalable/apps/faderwell.svg.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <iostream>

#include "ui/AppIcon.h"

namespace {

bool Write(const QString& folder, const QString& name, const QByteArray& content) {
    QFile file(folder + QLatin1Char('/') + name);
    return QDir().mkpath(folder) && file.open(QIODevice::WriteOnly) &&
           file.write(content) == content.size();
}

bool WritePng(const QString& folder, const QString& name, const QImage& image) {
    return QDir().mkpath(folder) && image.save(folder + QLatin1Char('/') + name, "PNG");
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::cerr << "usage: MakeIcons <directory> <size>...\n";
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QStringLiteral("faderwell");
    for (int i = 2; i < argc; ++i) {
        bool number = false;
        const int size = QString::fromLatin1(argv[i]).toInt(&number);
        if (!number || size < faderwell::kSmallIconSize) {
            std::cerr << "not an icon size: " << argv[i] << '\n';
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (!WritePng(folder, name + QStringLiteral(".png"), faderwell::AppIconImage(size))) {
            std::cerr << "cannot write the " << size << " pixel icon under " << argv[1] << '\n';
            return 1;
        }
    }
    if (!Write(root + QStringLiteral("/scalable/apps"), name + QStringLiteral(".svg"),
               faderwell::AppIconSvg())) {
        std::cerr << "cannot write the scalable icon under " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
