#include "ui/QtPeriodicTimer.h"

namespace faderwell {

QtPeriodicTimer::QtPeriodicTimer(int intervalMilliseconds) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(false);
    timer_.setInterval(intervalMilliseconds);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (tick_)
            tick_();
    });
}

bool QtPeriodicTimer::SetEnabled(bool enabled) {
    if (enabled == timer_.isActive())
        return true;
    if (enabled) {
        timer_.start();  // a fresh period: the first tick comes one interval from now
        return timer_.isActive();
    }
    timer_.stop();
    return true;
}

void QtPeriodicTimer::SetInterval(int milliseconds) {
    if (milliseconds == timer_.interval())
        return;
    const bool running = timer_.isActive();
    timer_.setInterval(milliseconds);
    if (running)
        timer_.start();  // the new interval counts from now
}

}  // namespace faderwell
