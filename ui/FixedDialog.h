#pragma once

#include <QDialog>
#include <QSize>
#include <QString>

class QLabel;

namespace faderwell {

/// A dialog in a fixed-size dialog frame whose title bar offers only the
/// close button, laid out in device-independent pixels in the window font.
/// It is centred on the desktop the first time it is shown and afterwards
/// reopens where it was last. Closing only hides it, so every control keeps
/// its state; the window keeps its focus child too, so the control that had
/// the focus gets it back next time (the first time: the first tab stop).
class FixedDialog : public QDialog {
    Q_OBJECT
public:
    void setVisible(bool visible) override;

protected:
    /// `parent` is the main window: the dialog stays above it and opens over
    /// it where the platform places dialogs itself (Wayland).
    FixedDialog(const QString& title, QSize clientSize, QWidget* parent);

    /// Sizes the controls that fit their texts, once, just before the first
    /// showing. Measuring a text reads its glyphs from the font file, and a
    /// dialog built hidden at start-up has no need of them until it shows.
    virtual void FitToText() {}

private:
    void CentreOnDesktop();

    bool centred_{false};
};

/// Puts a control at its laid-out place, widened to the right where the
/// platform's look needs more room for its text than the layout gives.
void PlaceWidening(QWidget& control, const QRect& laidOut);
/// Puts a label at its place and sizes it to its text, as labels are.
void PlaceLabel(QLabel& label, int left, int top);
/// Sizes a label to its text, keeping its right edge where it is laid out.
void PlaceLabelRightAligned(QLabel& label, int right, int top);

}  // namespace faderwell
