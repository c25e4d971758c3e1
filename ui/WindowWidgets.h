#pragma once

#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

namespace faderwell {

/// A label that sizes itself to its text, as the window's labels do: a
/// right-aligned one keeps its right edge and grows to the left, any other
/// keeps its left edge. Its height stays as laid out.
class AnchoredLabel final : public QLabel {
public:
    /// `geometry` is the place in the layout; the width then follows the text.
    AnchoredLabel(const QString& text, const QFont& font, const QRect& geometry,
                  Qt::Alignment alignment, QWidget* parent);

    /// Shows `text` and fits the width to it.
    void SetText(const QString& text);

private:
    int anchorLeft_;
    int anchorRight_;  // one past the last column, as in the layout
};

/// A vertical pair of arrows without an edit field: the upper arrow steps
/// up, the lower one down. Held down, an arrow repeats at a steady rate.
/// Neither takes the keyboard focus.
class UpDownArrows final : public QWidget {
public:
    explicit UpDownArrows(QWidget* parent);

    QToolButton* Up{nullptr};
    QToolButton* Down{nullptr};

protected:
    void resizeEvent(QResizeEvent* event) override;
};

}  // namespace faderwell

namespace faderwell {

/// A push button that also clicks on Enter while it has the focus, as the
/// fade strip's image buttons do (Space clicks every push button).
class ImageButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace faderwell
