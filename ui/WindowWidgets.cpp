#include "ui/WindowWidgets.h"

#include <QFontMetrics>
#include <QKeyEvent>

namespace faderwell {

namespace {
// The platform's repeat of a held arrow: a first pause, then a steady rate.
constexpr int kRepeatDelayMs = 500;
constexpr int kRepeatIntervalMs = 50;
}  // namespace

AnchoredLabel::AnchoredLabel(const QString& text, const QFont& font, const QRect& geometry,
                             Qt::Alignment alignment, QWidget* parent)
    : QLabel(parent), anchorLeft_(geometry.left()), anchorRight_(geometry.x() + geometry.width()) {
    setFont(font);
    setAlignment(alignment | Qt::AlignTop);
    setGeometry(geometry);
    SetText(text);
}

void AnchoredLabel::SetText(const QString& text) {
    setText(text);
    const int width = fontMetrics().horizontalAdvance(text);
    if (alignment() & Qt::AlignRight) {
        setGeometry(anchorRight_ - width, y(), width, height());
    } else {
        setGeometry(anchorLeft_, y(), width, height());
    }
}

UpDownArrows::UpDownArrows(QWidget* parent)
    : QWidget(parent), Up(new QToolButton(this)), Down(new QToolButton(this)) {
    setFocusPolicy(Qt::NoFocus);
    for (QToolButton* arrow : {Up, Down}) {
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);
        arrow->setAutoRepeatDelay(kRepeatDelayMs);
        arrow->setAutoRepeatInterval(kRepeatIntervalMs);
        arrow->setAutoRaise(false);
    }
    Up->setArrowType(Qt::UpArrow);
    Down->setArrowType(Qt::DownArrow);
}

void UpDownArrows::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int upper = height() / 2;
    Up->setGeometry(0, 0, width(), upper);
    Down->setGeometry(0, upper, width(), height() - upper);
}

}  // namespace faderwell

namespace faderwell {

void ImageButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !event->isAutoRepeat()) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

}  // namespace faderwell
