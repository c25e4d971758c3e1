#include "ui/Bars.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace faderwell {

std::optional<QAbstractSlider::SliderAction> BarKeyAction(int key) {
    switch (key) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            return QAbstractSlider::SliderSingleStepSub;
        case Qt::Key_Right:
        case Qt::Key_Down:
            return QAbstractSlider::SliderSingleStepAdd;
        case Qt::Key_PageUp:
            return QAbstractSlider::SliderPageStepSub;
        case Qt::Key_PageDown:
            return QAbstractSlider::SliderPageStepAdd;
        case Qt::Key_Home:
            return QAbstractSlider::SliderToMinimum;
        case Qt::Key_End:
            return QAbstractSlider::SliderToMaximum;
        default:
            return std::nullopt;
    }
}

namespace {

// The bars' keys on any slider; false for a key that is not one of them.
bool TriggerBarKey(QAbstractSlider& bar, QKeyEvent* event) {
    const auto action = BarKeyAction(event->key());
    // The keypad's arrows count too; with Shift, Ctrl or Alt the key is not the bar's.
    if (!action || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    bar.triggerAction(*action);
    event->accept();
    return true;
}

}  // namespace

FaderBar::FaderBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

void FaderBar::keyPressEvent(QKeyEvent* event) {
    if (!TriggerBarKey(*this, event))
        QScrollBar::keyPressEvent(event);
}

void FaderBar::paintEvent(QPaintEvent* event) {
    QScrollBar::paintEvent(event);
    if (!hasFocus())
        return;
    // Drawn over the bar, within its own area, so that nothing around it moves.
    QPainter painter(this);
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}

void TrackBar::keyPressEvent(QKeyEvent* event) {
    if (!TriggerBarKey(*this, event))
        QSlider::keyPressEvent(event);
}

}  // namespace faderwell
