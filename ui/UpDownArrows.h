#pragma once

#include <QToolButton>
#include <QWidget>

namespace faderwell {

/// A vertical pair of arrows without an edit field: the upper arrow steps
/// up, the lower one down. Held down, an arrow repeats at a steady rate.
/// Neither takes the keyboard focus. Assistive tools see a spin box that
/// reads the number the arrows choose.
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

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int value_{kMin};
};

}  // namespace faderwell
