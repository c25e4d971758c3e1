#pragma once

#include <QScrollBar>
#include <QSlider>
#include <functional>
#include <optional>

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

}  // namespace faderwell
