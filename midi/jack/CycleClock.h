#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace faderwell {

/// The server's frame clock as the process thread sees it, for placing
/// each word at the frame due at its moment.
///
/// Each cycle's callback starts at the moment its first frame was due plus
/// however late the scheduler let it run, and that lateness is never
/// negative: so the due moment is the callback's start less the least
/// lateness among the recent cycles. jackd's own estimate
/// (`jack_frame_time`) goes through a slow delay-locked loop; after its
/// dummy driver stalls and starts a new schedule, that loop is off by the
/// whole stall (tens of milliseconds) and takes seconds to settle, where
/// this one follows within a few cycles.
///
/// Both are called by the process thread only, which places every word
/// with the clock its own cycle has just set.
class CycleClock {
public:
    /// How far back the least lateness is looked for, at most, in cycles;
    /// about a tenth of a second at ordinary periods.
    static constexpr std::size_t kWindow = 32;
    static constexpr double kWindowMicroseconds = 100'000.0;
    /// A schedule that has moved on: this many cycles in a row, each more
    /// than kShiftMicroseconds behind the window's least lateness. A late
    /// cycle or two is the scheduler's doing; a run of them is a driver
    /// that stalled and started a new schedule (jackd's dummy driver does
    /// whenever a cycle runs a period late), and the window then starts
    /// afresh from that run.
    static constexpr std::size_t kShiftCycles = 3;
    static constexpr double kShiftMicroseconds = 250.0;

    /// The process thread, at the start of every cycle: the callback's
    /// start (µs, the server's clock), the cycle's first frame, its length
    /// and the sample rate.
    void Cycle(std::uint64_t microseconds, std::uint32_t frame, std::uint32_t frames,
               std::uint32_t rate) {
        const double microsecondsPerFrame = 1e6 / static_cast<double>(rate);
        if (count_ > 0)
            frames_ += static_cast<std::int32_t>(frame - lastFrame_);
        lastFrame_ = frame;
        const double framesTime = static_cast<double>(frames_) * microsecondsPerFrame;
        const std::size_t window = std::clamp<std::size_t>(
            static_cast<std::size_t>(kWindowMicroseconds /
                                     (static_cast<double>(frames) * microsecondsPerFrame)),
            1, kWindow);
        leads_[count_ % kWindow] = static_cast<double>(microseconds) - framesTime;
        ++count_;
        double least = Least(std::min(window, count_ - since_));
        if (count_ - since_ > kShiftCycles) {
            const double recent = Least(kShiftCycles);
            if (recent - least > kShiftMicroseconds) {
                since_ = count_ - kShiftCycles;
                least = recent;
            }
        }
        // The moment modulo 2^32 µs (71 minutes) is enough to take differences from.
        originDue_ = static_cast<std::uint32_t>(std::llround(least + framesTime));
        originFrame_ = frame;
        rate_ = rate;
    }

    /// The frame due at `microseconds` (the server's clock); false before
    /// the first cycle.
    bool FrameAt(std::uint64_t microseconds, std::uint32_t& frame) const {
        if (count_ == 0)
            return false;
        const auto since =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(microseconds) - originDue_);
        const auto frames = std::llround(static_cast<double>(since) * rate_ / 1e6);
        frame = originFrame_ + static_cast<std::uint32_t>(frames);
        return true;
    }

private:
    /// The least lead among the newest `cycles` cycles.
    double Least(std::size_t cycles) const {
        double least = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < cycles; ++i)
            least = std::min(least, leads_[(count_ - 1 - i) % kWindow]);
        return least;
    }

    std::array<double, kWindow> leads_{};  // callback start less the frames' own time
    std::size_t count_{0};
    std::size_t since_{0};    // the first cycle of the current schedule
    std::int64_t frames_{0};  // frames since the first cycle, past the 2^32 wrap
    std::uint32_t lastFrame_{0};
    // The newest cycle's first frame, the moment it was due, and the rate.
    std::uint32_t originFrame_{0};
    std::uint32_t originDue_{0};
    std::uint32_t rate_{0};
};

}  // namespace faderwell
