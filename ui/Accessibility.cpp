#include "ui/Accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <algorithm>

#include "ui/Bars.h"
#include "ui/UpDownArrows.h"

namespace faderwell {

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

    // A number set from outside is reached by pressing the arrows, as a user would.
    void setCurrentValue(const QVariant& value) override { Arrows()->StepTo(value.toInt()); }

    // The two arrows; the focus frame over them is no control.
    int childCount() const override { return static_cast<int>(Children().size()); }
    QAccessibleInterface* child(int index) const override {
        return index >= 0 && index < childCount()
                   ? QAccessible::queryAccessibleInterface(Children()[index])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr ? static_cast<int>(Children().indexOf(child->object())) : -1;
    }

private:
    QList<QObject*> Children() const { return {Arrows()->Up, Arrows()->Down}; }
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

void Describe(QWidget* control, const QString& name, const QString& description) {
    control->setAccessibleName(name);
    control->setAccessibleDescription(description);
}

}  // namespace faderwell
