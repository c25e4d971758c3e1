#pragma once

#include <QLabel>

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

}  // namespace faderwell
