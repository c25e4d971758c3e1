#include "ui/WindowWidgets.h"

#include <qdrawutil.h>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>

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

namespace faderwell {

FaderBar::FaderBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

void FaderBar::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            triggerAction(SliderSingleStepSub);
            event->accept();
            return;
        case Qt::Key_Right:
        case Qt::Key_Down:
            triggerAction(SliderSingleStepAdd);
            event->accept();
            return;
        default:
            QScrollBar::keyPressEvent(event);
    }
}

namespace {

class FaderAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit FaderAccessible(FaderBar* bar) : QAccessibleWidget(bar, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return QString::number(Bar()->SentValue());
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return Bar()->SentValue(); }
    void setCurrentValue(const QVariant& value) override {
        if (Bar()->onPositionRequest)
            Bar()->onPositionRequest(FaderBar::kTopValue - value.toInt());
    }
    QVariant maximumValue() const override { return FaderBar::kTopValue; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    FaderBar* Bar() const { return static_cast<FaderBar*>(widget()); }
};

QAccessibleInterface* MakeFaderAccessible(const QString& className, QObject* object) {
    if (className != QLatin1String(FaderBar::staticMetaObject.className()))
        return nullptr;
    auto* bar = qobject_cast<FaderBar*>(object);
    return bar != nullptr ? new FaderAccessible(bar) : nullptr;
}

}  // namespace

void InstallFaderAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(MakeFaderAccessible);
        return true;
    }();
    (void)installed;
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

}  // namespace faderwell
