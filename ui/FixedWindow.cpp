#include "ui/FixedWindow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMetaObject>
#include <QWidget>
#include <QWindow>

namespace faderwell {

namespace {

constexpr Qt::WindowStates kLargeStates = Qt::WindowMaximized | Qt::WindowFullScreen;

// A Wayland compositor ends the connection of a client that answers a
// maximized or full-screen configure with any other size than the one it
// configured, and Qt bounds the size it applies by the window's limits. So
// from the moment such a state is asked for until the window is back in its
// normal state, the window's handle has no limits: it takes the configured
// size, its fixed content keeps its place and the rest shows the window's
// background. The widget keeps its own limits, which the handle gets back.
class FixedSizeKeeper final : public QObject {
public:
    explicit FixedSizeKeeper(QWidget& window)
        : QObject(&window),
          window_(window),
          liftLimits_(QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Show && handle_ == nullptr)
            Attach();
        else if (watched == handle_ && event->type() == QEvent::WindowStateChange &&
                 event->spontaneous())
            Applied(handle_->windowStates());
        return false;
    }

private:
    // The handle exists from the first show on and lives as long as the window.
    void Attach() {
        handle_ = window_.windowHandle();
        if (handle_ == nullptr)
            return;
        handle_->installEventFilter(this);
        // The request has just gone to the platform, and its answer cannot
        // have been applied yet: this runs on the thread that applies it.
        connect(handle_, &QWindow::windowStateChanged, this, [this](Qt::WindowState asked) {
            if (kLargeStates.testFlag(asked))
                LiftLimits();
        });
    }

    // The platform has put the window in `states`.
    void Applied(Qt::WindowStates states) {
        if (!(states & kLargeStates)) {
            RestoreLimits();
            return;
        }
        // Back to normal once the window has been drawn in the state: a
        // compositor takes a request to leave a state the window has not yet
        // been drawn in for one that is already done, and answers nothing.
        QMetaObject::invokeMethod(
            this, [this] { handle_->setWindowStates(handle_->windowStates() & ~kLargeStates); },
            Qt::QueuedConnection);
    }

    void LiftLimits() {
        if (!liftLimits_ || lifted_)
            return;
        lifted_ = true;
        handle_->setMinimumSize({0, 0});
        handle_->setMaximumSize({QWIDGETSIZE_MAX, QWIDGETSIZE_MAX});
    }

    void RestoreLimits() {
        if (!lifted_)
            return;
        lifted_ = false;
        handle_->setMinimumSize(window_.minimumSize());
        handle_->setMaximumSize(window_.maximumSize());
        // A normal state may come with any size; the window takes its own.
        window_.resize(window_.minimumSize());
    }

    QWidget& window_;
    QWindow* handle_{nullptr};
    const bool liftLimits_;
    bool lifted_{false};
};

}  // namespace

void KeepFixedSize(QWidget& window) {
    new FixedSizeKeeper(window);
}

}  // namespace faderwell
