#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <optional>

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

/// The keys of every bar of the program, faders, fade markers and the speed
/// slider alike, whichever way it stands: Left, Up and PageUp a step towards
/// the minimum, Right, Down and PageDown a step towards the maximum, Home and
/// End to the ends. Nothing for any other key.
std::optional<QAbstractSlider::SliderAction> BarKeyAction(int key);

/// The scroll bar of a fader or a fade marker, position 0 to 127, with the
/// bars' keys. With the keyboard focus it draws the platform's focus frame
/// inside its own area. Assistive tools read the value the position stands
/// for, the one that is sent, not the position.
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
    void paintEvent(QPaintEvent* event) override;
};

/// A slider with the bars' keys.
class TrackBar final : public QSlider {
public:
    using QSlider::QSlider;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

/// A radio button of a group in which only the checked button is a tab stop,
/// however it got checked; the others still take the focus by click.
class GroupRadioButton final : public QRadioButton {
public:
    GroupRadioButton(const QString& text, QWidget* parent);

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    /// The checked button of this one's group takes Tab, the others do not.
    void MoveTabStopToChecked();
};

/// Lets assistive tools see every FaderBar as a slider that reports its
/// sent value and the controller arrows as a spin box, and leaves out what is
/// marked decorative. Call once the application object exists; further
/// calls do nothing.
void InstallFaderAccessibility();

/// Keeps a widget that only draws (a bevel, a label hidden under a fader)
/// out of what assistive tools see.
void MarkDecorative(QWidget* widget);

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

/// A fixed-size window takes no maximized state, whoever asks for it (the
/// title bar that Qt draws on Wayland offers the button regardless). Call
/// from the window's changeEvent.
void RefuseMaximized(QWidget& window, const QEvent* event);

}  // namespace faderwell
