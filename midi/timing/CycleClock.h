#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

namespace faderwell {

/// When each process cycle started on the server's schedule, in µs of the
/// server's clock (`jack_get_time`), for placing every word at the frame
/// of the moment it is due to leave.
///
/// Each cycle the server gives its own account of when it started the
/// cycle (`jack_frames_since_cycle_start`): PipeWire's driver the moment the
/// cycle was due, jackd the moment its driver woke for it, which may be
/// late but never early. Within one schedule a cycle starts where the one
/// before started plus that one's frames, so every account is the
/// schedule's origin ("lead") plus however late it came; the least lead
/// over the last tenth of a second is the schedule. An account earlier than
/// that is taken at once (lateness is never negative); one later by more
/// than kJumpMicroseconds is a new schedule (a stall, an xrun, a driver
/// that started afresh) and is taken at once too; so is a change of the
/// period or the rate, which the server announces.
///
/// Beside the schedule it keeps what a word's latency is made of: the
/// period words wait for (the largest the server has run at, coming down
/// once a smaller period has held for a second), and the span the schedule
/// was pushed back by cycles the server skipped, which holds the words due
/// meanwhile at their spacing, later by that span. Both come down by
/// kEaseRate of the time that passes, so that no two words' spacing
/// shrinks by more than a hundredth, and the skipped span goes at once when
/// no word has been due for a second.
///
/// Called by the process thread only: no allocation, no lock.
class CycleClock {
public:
    /// How far back the least lead is looked for, at most, in cycles.
    static constexpr std::size_t kWindow = 32;
    static constexpr double kWindowMicroseconds = 100'000.0;
    /// A cycle that starts this much later than the schedule says has
    /// moved the schedule: the server started a new one.
    static constexpr double kJumpMicroseconds = 250.0;
    /// How long a smaller period holds, or no word is due, before the
    /// latency lets go of what it added for the larger one or the skip.
    static constexpr double kSettleMicroseconds = 1'000'000.0;
    /// How fast the latency comes down: µs per µs that passes. A fade's
    /// 50 ms interval shrinks by half a millisecond, too little to hear.
    static constexpr double kEaseRate = 0.01;
    /// How long after it fell due a fade tick's words leave, beyond the
    /// latency's period and the skipped span: room for the user-interface
    /// thread to come to a tick late (a busy machine keeps a thread of
    /// normal priority waiting for milliseconds) without the tick leaving
    /// late.
    static constexpr double kHeadroomMicroseconds = 10'000.0;

    /// At the start of every cycle: the server's account of when the cycle
    /// started (µs), its length in frames, the sample rate, and whether the
    /// server announced a new period or rate since the cycle before.
    /// Returns when the cycle started on the schedule (µs).
    double Cycle(double started, std::uint32_t frames, std::uint32_t rate, bool announced) {
        const bool fresh = announced || count_ == 0 || rate != rate_;
        // How far this cycle starts from where the schedule so far puts it:
        // later by the cycles the server skipped, earlier where the last
        // jump was only a late account.
        const double gap = count_ > 0 ? started - (start_ + PeriodMicroseconds()) : 0.0;
        if (gap > kJumpMicroseconds || gap < 0)
            shift_ = std::max(0.0, shift_ + gap);
        if (shift_ > 0 && started - lastDue_ > kSettleMicroseconds)
            shift_ = 0;
        const double ease = PeriodMicroseconds() * kEaseRate;
        if (count_ > 0 && gap <= kJumpMicroseconds)
            shift_ = std::max(0.0, shift_ - ease);
        if (!fresh)
            elapsed_ += static_cast<double>(frames_) * 1e6 / static_cast<double>(rate_);
        frames_ = frames;
        rate_ = rate;
        if (fresh || started - elapsed_ - Least(Window()) > kJumpMicroseconds)
            Restart();
        leads_[count_ % kWindow] = started - elapsed_;
        ++count_;
        start_ = Least(Window()) + elapsed_;
        const double period = PeriodMicroseconds();
        if (period >= latencyPeriod_) {
            latencyPeriod_ = period;
            smallerSince_.reset();
        } else if (!smallerSince_) {
            smallerSince_ = start_;
        } else if (start_ - *smallerSince_ >= kSettleMicroseconds && shift_ == 0) {
            // One at a time: the skipped span first.
            latencyPeriod_ = std::max(period, latencyPeriod_ - period * kEaseRate);
        }
        return start_;
    }

    /// A word due to leave at its moment waits in this cycle: the shift
    /// holds while words keep coming.
    void DueWordWaiting() { lastDue_ = start_; }
    /// The period a word due now waits for at most (µs): the largest the
    /// server has run at, coming down at kEaseRate once a smaller period
    /// has held for a second.
    double LatencyPeriodMicroseconds() const { return latencyPeriod_; }
    /// How much later than due the words leave for the cycles the server
    /// skipped (µs), coming down at kEaseRate.
    double ShiftMicroseconds() const { return shift_; }
    /// How long after its due moment a word leaves (µs): the latency's
    /// period, the skipped span and the headroom.
    std::uint32_t WaitMicroseconds() const {
        return static_cast<std::uint32_t>(latencyPeriod_ + shift_ + kHeadroomMicroseconds);
    }

    /// The newest cycle's start on the schedule (µs) and length (µs).
    double Start() const { return start_; }
    double PeriodMicroseconds() const {
        return rate_ == 0 ? 0.0 : static_cast<double>(frames_) * 1e6 / static_cast<double>(rate_);
    }

private:
    void Restart() {
        count_ = 0;
        elapsed_ = 0;
    }
    /// The cycles of this schedule the least lead is taken over.
    std::size_t Window() const {
        const double period = PeriodMicroseconds();
        const auto cycles = period > 0 ? static_cast<std::size_t>(kWindowMicroseconds / period) : 1;
        return std::min(std::clamp<std::size_t>(cycles, 1, kWindow), count_);
    }
    /// The least lead among the newest `cycles` cycles.
    double Least(std::size_t cycles) const {
        double least = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < cycles; ++i)
            least = std::min(least, leads_[(count_ - 1 - i) % kWindow]);
        return least;
    }

    std::array<double, kWindow> leads_{};  // a cycle's start less the schedule's time to it
    std::size_t count_{0};                 // cycles of the current schedule
    double elapsed_{0};                    // µs from the schedule's first cycle to the newest
    double start_{0};
    std::uint32_t frames_{0};  // the newest cycle's length and rate
    std::uint32_t rate_{0};
    double latencyPeriod_{0};
    std::optional<double> smallerSince_;  // when the period fell below latencyPeriod_
    double shift_{0};
    double lastDue_{0};  // the start of the last cycle a due word waited in
};

}  // namespace faderwell
