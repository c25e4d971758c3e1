#pragma once

#include <QGroupBox>

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
