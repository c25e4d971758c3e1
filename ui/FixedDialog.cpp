#include "ui/FixedDialog.h"

#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <algorithm>

#include "ui/Appearance.h"
#include "ui/FixedWindow.h"

namespace faderwell {

FixedDialog::FixedDialog(const QString& title, QSize clientSize, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(title);
    // A dialog frame has no icon; without one of its own it would show its parent's.
    setWindowIcon(QIcon());
    setFont(WindowFont(kDefaultFontPixels));
    setFixedSize(clientSize);
    KeepFixedSize(*this);
}

void FixedDialog::setVisible(bool visible) {
    const bool showing = visible && !isVisible();
    if (showing && !centred_) {
        FitToText();
        CentreOnDesktop();
    }
    QDialog::setVisible(visible);
    if (showing && !centred_) {
        // Again, now that the platform has put its frame around the client area.
        CentreOnDesktop();
        centred_ = true;
    }
}

void FixedDialog::CentreOnDesktop() {
    const QScreen* desktop = screen();
    if (desktop == nullptr)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(desktop->availableGeometry().center());
    // An explicit move also keeps the toolkit from placing it over its parent.
    move(frame.topLeft());
}

void PlaceWidening(QWidget& control, const QRect& laidOut) {
    QRect place = laidOut;
    place.setWidth(std::max(laidOut.width(), control.sizeHint().width()));
    control.setGeometry(place);
}

void PlaceLabel(QLabel& label, int left, int top) {
    label.move(left, top);
    label.adjustSize();
}

void PlaceLabelRightAligned(QLabel& label, int right, int top) {
    label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label.adjustSize();
    label.move(right - label.width(), top);
}

}  // namespace faderwell
