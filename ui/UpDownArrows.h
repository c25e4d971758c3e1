#pragma once

#include <QToolButton>
#include <QWidget>

namespace faderwell {

/// A vertical pair of arrows without an edit field: the upper arrow steps
/// up, the lower one down. Held down, an arrow repeats at a steady rate.
/// The pair is one tab stop: Up and Page Up press the upper arrow, Down and
/// Page Down the lower one, and a focus frame lies around both. Assistive
/// tools see a spin box that reads the number the arrows choose and sets it
/// by pressing them.
class UpDownArrows final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMin = 0;
    static constexpr int kMax = 127;

    explicit UpDownArrows(QWidget* parent);

    QToolButton* Up{nullptr};
    QToolButton* Down{nullptr};

    /// The number the arrows stand at; a new one is announced.
    void ShowValue(int value);
    int Value() const { return value_; }

    /// Presses the arrows, one press a step, until they stand at `value` or
    /// no press moves them any more (a limit, or the arrows disabled).
    void StepTo(int value);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QWidget* focusFrame_{nullptr};
    int value_{kMin};
};

}  // namespace faderwell
