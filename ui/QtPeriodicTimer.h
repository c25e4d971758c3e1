#pragma once

#include <QTimer>
#include <functional>

#include "core/Seams.h"

namespace faderwell {

/// The fade timer over a precise QTimer: a coarse timer may stretch a 50 ms
/// tick by several percent, which a listener hears as a slower fade.
class QtPeriodicTimer final : public PeriodicTimer {
public:
    using TickHandler = std::function<void()>;

    explicit QtPeriodicTimer(int intervalMilliseconds);

    /// What runs on every tick, on the user-interface thread.
    void SetTickHandler(TickHandler handler) { tick_ = std::move(handler); }

    bool SetEnabled(bool enabled) override;
    bool Enabled() const override { return timer_.isActive(); }
    void SetInterval(int milliseconds) override;
    int Interval() const override { return timer_.interval(); }

private:
    QTimer timer_;
    TickHandler tick_;
};

}  // namespace faderwell
