#include "ui/AnchoredLabel.h"

namespace faderwell {

AnchoredLabel::AnchoredLabel(const QString& text, const QFont& font, const QRect& geometry,
                             Qt::Alignment alignment, QWidget* parent)
    : QLabel(parent), anchorLeft_(geometry.left()), anchorRight_(geometry.x() + geometry.width()) {
    setFont(font);
    setAlignment(alignment | Qt::AlignTop);
    setGeometry(geometry);
    SetText(text);
}

void AnchoredLabel::SetText(const QString& text) {
    // Unnamed, a label is named by its text, and QLabel announces the new name.
    setText(text);
    const int width = fontMetrics().horizontalAdvance(text);
    if (alignment() & Qt::AlignRight) {
        setGeometry(anchorRight_ - width, y(), width, height());
    } else {
        setGeometry(anchorLeft_, y(), width, height());
    }
}

}  // namespace faderwell
