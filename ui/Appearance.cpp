#include "ui/Appearance.h"

#include <QStringList>

namespace faderwell {

namespace {
const QString kWindowFamily = QStringLiteral("ＭＳ Ｐゴシック");
}  // namespace

QFont WindowFont(int pixelHeight, bool bold) {
    QFont font(kWindowFamily);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void InstallFontSubstitutes() {
    // IPAPGothic shares the metrics of the proportional Gothic the layout was made with.
    QFont::insertSubstitutions(kWindowFamily,
                               {QStringLiteral("IPAPGothic"), QStringLiteral("MS PGothic"),
                                QStringLiteral("Noto Sans CJK JP")});
}

}  // namespace faderwell
