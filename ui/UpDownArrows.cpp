#include "ui/UpDownArrows.h"

#include <QAccessible>

namespace faderwell {

namespace {
// The platform's repeat of a held arrow: a first pause, then a steady rate.
constexpr int kRepeatDelayMs = 500;
constexpr int kRepeatIntervalMs = 50;
}  // namespace

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

void UpDownArrows::ShowValue(int value) {
    if (value == value_)
        return;
    value_ = value;
    QAccessibleValueChangeEvent changed(this, value_);
    QAccessible::updateAccessibility(&changed);
}

void UpDownArrows::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int upper = height() / 2;
    Up->setGeometry(0, 0, width(), upper);
    Down->setGeometry(0, upper, width(), height() - upper);
}

}  // namespace faderwell
