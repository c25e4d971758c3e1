#include "ui/FixedWindow.h"

#include <QEvent>
#include <QMetaObject>
#include <QWidget>

namespace faderwell {

void RefuseMaximized(QWidget& window, const QEvent* event) {
    if (event->type() != QEvent::WindowStateChange || !window.isMaximized())
        return;
    // Once the state change has been dealt with, back to the window's one size.
    QMetaObject::invokeMethod(
        &window, [&window] { window.setWindowState(window.windowState() & ~Qt::WindowMaximized); },
        Qt::QueuedConnection);
}

}  // namespace faderwell
