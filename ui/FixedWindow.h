#pragma once

class QEvent;
class QWidget;

namespace faderwell {

/// A fixed-size window takes no maximized state, whoever asks for it (the
/// title bar that Qt draws on Wayland offers the button regardless). Call
/// from the window's changeEvent.
void RefuseMaximized(QWidget& window, const QEvent* event);

}  // namespace faderwell
