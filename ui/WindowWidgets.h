#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QWidget>
#include <functional>

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

namespace faderwell {

/// The scroll bar of a fader or a fade marker, position 0 to 127. The arrow
/// keys go by the bar's own ends whichever way it stands: Left and Up are a
/// line towards position 0, Right and Down a line towards 127 (Qt's scroll
/// bars turn Left and Right round). Assistive tools read the value the
/// position stands for, the one that is sent, not the position.
class FaderBar final : public QScrollBar {
    Q_OBJECT
public:
    static constexpr int kTopValue = 127;

    FaderBar(Qt::Orientation orientation, QWidget* parent);

    /// The value the current position stands for.
    int SentValue() const { return kTopValue - value(); }

    /// Where a value asked for by an assistive tool goes, as a position;
    /// unset, such requests are ignored.
    std::function<void(int position)> onPositionRequest;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

/// Lets assistive tools see every FaderBar as a slider that reports its
/// sent value. Call once the application object exists; further calls do nothing.
void InstallFaderAccessibility();

}  // namespace faderwell

namespace faderwell {

/// A group box whose frame line runs through the middle of its caption, the
/// caption standing on the line a little in from the left, so that the
/// controls laid out for such a frame sit inside it. The frame itself is
/// drawn in the platform's look.
class CaptionGroupBox final : public QGroupBox {
public:
    static constexpr int kCaptionLeft = 8;
    static constexpr int kCaptionGap = 2;  // either side of the text, where the line pauses

    CaptionGroupBox(const QString& caption, QWidget* parent);

    /// The frame, in the box's coordinates: its top line at half the caption's height.
    QRect FrameRect() const;
    /// Where the caption's text stands, in the box's coordinates.
    QRect CaptionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace faderwell

namespace faderwell {

/// Gives `control` the name and description that screen readers announce.
void Describe(QWidget* control, const QString& name, const QString& description);

}  // namespace faderwell
