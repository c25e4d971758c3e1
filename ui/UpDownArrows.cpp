#include "ui/UpDownArrows.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace faderwell {

namespace {
// The platform's repeat of a held arrow: a first pause, then a steady rate.
constexpr int kRepeatDelayMs = 500;
constexpr int kRepeatIntervalMs = 50;

// The arrows cover the whole control, so its focus frame is drawn over them.
class FocusFrame final : public QWidget {
public:
    explicit FocusFrame(QWidget* control) : QWidget(control) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!parentWidget()->hasFocus())
            return;
        QStylePainter painter(this);
        QStyleOptionFocusRect frame;
        frame.initFrom(parentWidget());
        frame.rect = rect();
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, frame);
    }
};
}  // namespace

UpDownArrows::UpDownArrows(QWidget* parent)
    : QWidget(parent),
      Up(new QToolButton(this)),
      Down(new QToolButton(this)),
      focusFrame_(new FocusFrame(this)) {
    setFocusPolicy(Qt::StrongFocus);
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

void UpDownArrows::StepTo(int value) {
    while (value != value_) {
        const int before = value_;
        (value > value_ ? Up : Down)->click();
        if (value_ == before)
            return;
    }
}

void UpDownArrows::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int upper = height() / 2;
    Up->setGeometry(0, 0, width(), upper);
    Down->setGeometry(0, upper, width(), height() - upper);
    focusFrame_->setGeometry(rect());
    focusFrame_->raise();
}

void UpDownArrows::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_PageUp:
            Up->click();
            return;
        case Qt::Key_Down:
        case Qt::Key_PageDown:
            Down->click();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void UpDownArrows::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    focusFrame_->update();
}

void UpDownArrows::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    focusFrame_->update();
}

}  // namespace faderwell
