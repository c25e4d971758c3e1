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

/// A timerfd on CLOCK_MONOTONIC (the steady clock's), watched by the event
/// loop and armed on an absolute schedule, so that every tick's due moment
/// is known.
class QtPeriodicTimer::Source {
public:
    explicit Source(std::function<void(Moment)> tick)
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
        period_ = std::chrono::milliseconds(std::max(milliseconds, 1));
        first_ = std::chrono::steady_clock::now() + period_;
        expiries_ = 0;
        itimerspec schedule{};
        schedule.it_interval = ToTimespec(period_);
        schedule.it_value = ToTimespec(first_.time_since_epoch());
        if (timerfd_settime(fd_, TFD_TIMER_ABSTIME, &schedule, nullptr) != 0)
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
    static timespec ToTimespec(std::chrono::nanoseconds span) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span);
        return {static_cast<time_t>(seconds.count()), static_cast<long>((span - seconds).count())};
    }

    void Expired() {
        std::uint64_t expiries = 0;
        // Nothing to read when a stop came between the wake-up and this call.
        if (read(fd_, &expiries, sizeof expiries) != static_cast<ssize_t>(sizeof expiries))
            return;
        // Ticks that fell due together come as one, at the latest one's moment.
        expiries_ += expiries;
        tick_(first_ + period_ * static_cast<std::int64_t>(expiries_ - 1));
    }

    int fd_{-1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void(Moment)> tick_;
    std::chrono::nanoseconds period_{};
    Moment first_{};
    std::uint64_t expiries_{0};
};

#else

class QtPeriodicTimer::Source {
public:
    explicit Source(std::function<void(Moment)> tick) {
        timer_.setTimerType(Qt::PreciseTimer);
        // A QTimer tells nothing of its schedule: a tick is due when it comes.
        QObject::connect(&timer_, &QTimer::timeout,
                         [tick = std::move(tick)] { tick(std::chrono::steady_clock::now()); });
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
    : source_(std::make_unique<Source>([this](Moment due) { Tick(due); })),
      interval_(intervalMilliseconds) {}

QtPeriodicTimer::~QtPeriodicTimer() = default;

void QtPeriodicTimer::Tick(Moment due) const {
    if (enabled_ && tick_)
        tick_(due);
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
