#include "ui/Bars.h"

#include <qdrawutil.h>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>

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
    // Unnamed, a label is named by its text, and QLabel announces the new name.
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

GroupRadioButton::GroupRadioButton(const QString& text, QWidget* parent)
    : QRadioButton(text, parent) {
    connect(this, &QAbstractButton::toggled, this, [this](bool checked) {
        if (checked)
            MoveTabStopToChecked();
    });
}

void GroupRadioButton::focusInEvent(QFocusEvent* event) {
    // Qt makes the focused button the tab stop, checked or not.
    QRadioButton::focusInEvent(event);
    MoveTabStopToChecked();
}

void GroupRadioButton::MoveTabStopToChecked() {
    for (QRadioButton* button :
         parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly)) {
        if (!button->autoExclusive())
            continue;
        const Qt::FocusPolicy policy = button->focusPolicy();
        button->setFocusPolicy(button->isChecked() ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                   : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
}

namespace {

/// A control that shows a number, as assistive tools see it: its role, and
/// the number as a value they read out and, where the control takes one, set.
class ValueAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    ValueAccessible(QWidget* widget, QAccessible::Role role, int minimum, int maximum)
        : QAccessibleWidget(widget, role), minimum_(minimum), maximum_(maximum) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return QString::number(Value());
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return Value(); }
    QVariant maximumValue() const override { return maximum_; }
    QVariant minimumValue() const override { return minimum_; }
    QVariant minimumStepSize() const override { return 1; }

protected:
    virtual int Value() const = 0;

private:
    int minimum_;
    int maximum_;
};

class FaderAccessible final : public ValueAccessible {
public:
    explicit FaderAccessible(FaderBar* bar)
        : ValueAccessible(bar, QAccessible::Slider, 0, FaderBar::kTopValue) {}

    void setCurrentValue(const QVariant& value) override {
        if (Bar()->onPositionRequest)
            Bar()->onPositionRequest(FaderBar::kTopValue - value.toInt());
    }

private:
    int Value() const override { return Bar()->SentValue(); }
    FaderBar* Bar() const { return static_cast<FaderBar*>(widget()); }
};

class ArrowsAccessible final : public ValueAccessible {
public:
    explicit ArrowsAccessible(UpDownArrows* arrows)
        : ValueAccessible(arrows, QAccessible::SpinBox, UpDownArrows::kMin, UpDownArrows::kMax) {}

    // Only the arrows choose the number, one step at a time.
    void setCurrentValue(const QVariant&) override {}

private:
    int Value() const override { return Arrows()->Value(); }
    UpDownArrows* Arrows() const { return static_cast<UpDownArrows*>(widget()); }
};

const char* const kDecorative = "faderwellDecorative";

bool IsDecorative(const QObject* object) {
    return object->property(kDecorative).toBool();
}

// What Qt lists as a widget's accessible children, less the decorative ones.
QList<QWidget*> ShownChildren(const QWidget* parent) {
    QList<QWidget*> shown;
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget != nullptr && !widget->isWindow() && !IsDecorative(widget))
            shown.append(widget);
    }
    return shown;
}

// A container whose decorative children assistive tools do not see.
class ContainerAccessible final : public QAccessibleWidget {
public:
    explicit ContainerAccessible(QWidget* widget) : QAccessibleWidget(widget) {}

    int childCount() const override { return static_cast<int>(ShownChildren(widget()).size()); }
    QAccessibleInterface* child(int index) const override {
        const QList<QWidget*> shown = ShownChildren(widget());
        return index >= 0 && index < shown.size()
                   ? QAccessible::queryAccessibleInterface(shown[index])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr ? static_cast<int>(ShownChildren(widget()).indexOf(child->object()))
                                : -1;
    }
};

bool HoldsDecoration(const QObject* object) {
    const QObjectList& children = object->children();
    return std::any_of(children.begin(), children.end(), IsDecorative);
}

QAccessibleInterface* MakeAccessible(const QString& className, QObject* object) {
    // Asked from the most derived class up: only the object's own class is ours to answer.
    if (className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    if (auto* bar = qobject_cast<FaderBar*>(object))
        return new FaderAccessible(bar);
    if (auto* arrows = qobject_cast<UpDownArrows*>(object))
        return new ArrowsAccessible(arrows);
    if (object->isWidgetType() && HoldsDecoration(object))
        return new ContainerAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

}  // namespace

void InstallFaderAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(MakeAccessible);
        return true;
    }();
    (void)installed;
}

void MarkDecorative(QWidget* widget) {
    widget->setProperty(kDecorative, true);
    widget->setAccessibleName({});
}

}  // namespace faderwell

namespace faderwell {

CaptionGroupBox::CaptionGroupBox(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent) {}

QRect CaptionGroupBox::FrameRect() const {
    return rect().adjusted(0, fontMetrics().height() / 2, 0, 0);
}

QRect CaptionGroupBox::CaptionRect() const {
    const QFontMetrics metrics = fontMetrics();
    return {kCaptionLeft, 0, metrics.horizontalAdvance(title()), metrics.height()};
}

void CaptionGroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect caption = CaptionRect();
    // An etched line in the palette's shadow and light, paused behind the caption.
    painter.setClipRegion(QRegion(rect()) -
                          QRegion(caption.adjusted(-kCaptionGap, 0, kCaptionGap, 0)));
    qDrawShadeRect(&painter, FrameRect(), palette(), true, 1, 0);
    painter.setClipping(false);
    style()->drawItemText(&painter, caption,
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, palette(),
                          isEnabled(), title(), QPalette::WindowText);
}

}  // namespace faderwell

namespace faderwell {

void Describe(QWidget* control, const QString& name, const QString& description) {
    control->setAccessibleName(name);
    control->setAccessibleDescription(description);
}

void RefuseMaximized(QWidget& window, const QEvent* event) {
    if (event->type() != QEvent::WindowStateChange || !window.isMaximized())
        return;
    // Once the state change has been dealt with, back to the window's one size.
    QMetaObject::invokeMethod(
        &window, [&window] { window.setWindowState(window.windowState() & ~Qt::WindowMaximized); },
        Qt::QueuedConnection);
}

}  // namespace faderwell
