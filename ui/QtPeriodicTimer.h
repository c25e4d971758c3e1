#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "core/PeriodicTimer.h"

namespace faderwell {

/// The fade timer. Its ticks keep to the clock: each falls due one interval
/// after the one before, however long the last one took to handle, so a
/// whole fade lasts ticks x interval. Ticks that fall due while the thread
/// is busy come as one. On Linux the ticks come from a kernel timer the
/// event loop watches, which wakes it within microseconds: Qt's own timers
/// wake the GLib event loop up to a millisecond late, which a listener hears
/// as an uneven 50 ms fade. Elsewhere they come from a precise QTimer.
class QtPeriodicTimer final : public PeriodicTimer {
public:
    using Moment = std::chrono::steady_clock::time_point;
    /// Receives the moment the tick fell due on the schedule, which the
    /// thread may have come to late.
    using TickHandler = std::function<void(Moment due)>;

    explicit QtPeriodicTimer(int intervalMilliseconds);
    ~QtPeriodicTimer() override;
    QtPeriodicTimer(const QtPeriodicTimer&) = delete;
    QtPeriodicTimer& operator=(const QtPeriodicTimer&) = delete;

    /// What runs on every tick, on the user-interface thread.
    void SetTickHandler(TickHandler handler) { tick_ = std::move(handler); }

    bool SetEnabled(bool enabled) override;
    bool Enabled() const override { return enabled_; }
    void SetInterval(int milliseconds) override;
    int Interval() const override { return interval_; }

    class Source;  // the platform's periodic wake-up

private:
    void Tick(Moment due) const;

    std::unique_ptr<Source> source_;
    TickHandler tick_;
    int interval_;
    bool enabled_{false};
};

}  // namespace faderwell
