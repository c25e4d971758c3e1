#pragma once

namespace faderwell {

/// The periodic fade timer. Ticks arrive on the user-interface thread and are
/// delivered by the owner of the timer to Mixer::Timer1Timer.
///
/// Contract: enabling starts a fresh period, so the first tick comes one
/// interval later; setting the enabled flag or the interval to the value it
/// already has changes nothing; a new interval restarts a running period;
/// after disabling no further tick is delivered.
class PeriodicTimer {
public:
    virtual ~PeriodicTimer() = default;
    /// Returns false when the platform could not provide the timer; the
    /// timer is then left disabled.
    virtual bool SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    virtual void SetInterval(int milliseconds) = 0;
    virtual int Interval() const = 0;
};

}  // namespace faderwell
