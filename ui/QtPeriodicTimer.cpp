#include "ui/QtPeriodicTimer.h"

#ifdef __linux__
#include <sys/timerfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cstdint>
#else
#include <QTimer>
#endif

namespace faderwell {

#ifdef __linux__

/// A timerfd on CLOCK_MONOTONIC, watched by the event loop.
class QtPeriodicTimer::Source {
public:
    explicit Source(std::function<void()> tick)
        : fd_(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)), tick_(std::move(tick)) {
        if (fd_ < 0)
            return;
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        notifier_->setEnabled(false);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Expired(); });
    }
    ~Source() {
        notifier_.reset();
        if (fd_ >= 0)
            close(fd_);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    /// A fresh period: the first expiry one interval from now, then one
    /// every interval on the kernel's schedule.
    bool Start(int milliseconds) {
        if (fd_ < 0)
            return false;
        // A zero period would disarm the timer; the shortest one is 1 ms.
        milliseconds = std::max(milliseconds, 1);
        itimerspec period{};
        period.it_interval.tv_sec = milliseconds / 1000;
        period.it_interval.tv_nsec = static_cast<long>(milliseconds % 1000) * 1'000'000L;
        period.it_value = period.it_interval;
        if (timerfd_settime(fd_, 0, &period, nullptr) != 0)
            return false;
        notifier_->setEnabled(true);
        return true;
    }

    /// Disarming also clears expiries not yet read, so none is delivered later.
    void Stop() {
        if (fd_ < 0)
            return;
        const itimerspec disarmed{};
        timerfd_settime(fd_, 0, &disarmed, nullptr);
        notifier_->setEnabled(false);
    }

private:
    void Expired() {
        std::uint64_t expiries = 0;
        // Nothing to read when a stop came between the wake-up and this call.
        if (read(fd_, &expiries, sizeof expiries) != static_cast<ssize_t>(sizeof expiries))
            return;
        tick_();
    }

    int fd_{-1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> tick_;
};

#else

class QtPeriodicTimer::Source {
public:
    explicit Source(std::function<void()> tick) {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
    }
    bool Start(int milliseconds) {
        timer_.start(milliseconds);
        return timer_.isActive();
    }
    void Stop() { timer_.stop(); }

private:
    QTimer timer_;
};

#endif

QtPeriodicTimer::QtPeriodicTimer(int intervalMilliseconds)
    : source_(std::make_unique<Source>([this] { Tick(); })), interval_(intervalMilliseconds) {}

QtPeriodicTimer::~QtPeriodicTimer() = default;

void QtPeriodicTimer::Tick() const {
    if (enabled_ && tick_)
        tick_();
}

bool QtPeriodicTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_)
        return true;
    if (enabled) {
        // A fresh period: the first tick comes one interval from now.
        enabled_ = source_->Start(interval_);
        return enabled_;
    }
    source_->Stop();
    enabled_ = false;
    return true;
}

void QtPeriodicTimer::SetInterval(int milliseconds) {
    if (milliseconds == interval_)
        return;
    interval_ = milliseconds;
    // The new interval counts from now.
    if (enabled_)
        enabled_ = source_->Start(interval_);
}

}  // namespace faderwell
