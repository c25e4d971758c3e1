#include "bench/WireClock.h"

#include <gtest/gtest.h>

namespace faderwell::bench {
namespace {

constexpr std::uint32_t kRate = 48000;
constexpr std::uint32_t kPeriod = 256;                         // frames
constexpr double kPeriodMicroseconds = kPeriod * 1e6 / kRate;  // 5333.3 µs

/// Cycles on a schedule that starts at `start` µs and at frame `firstFrame`,
/// each callback `late(i)` µs behind its due time, and the schedule moved
/// `jump` µs later from cycle `jumpAt` on (an overrun re-anchoring it).
struct Schedule {
    std::uint64_t start{1'000'000};
    std::uint32_t firstFrame{0};
    std::size_t jumpAt{SIZE_MAX};
    double jump{0};

    double Due(std::size_t i) const {
        return static_cast<double>(start) + static_cast<double>(i) * kPeriodMicroseconds +
               (i >= jumpAt ? jump : 0);
    }
    std::vector<CycleSeen> Seen(std::size_t count, double (*late)(std::size_t)) const {
        std::vector<CycleSeen> cycles;
        for (std::size_t i = 0; i < count; ++i)
            cycles.push_back({static_cast<std::uint64_t>(Due(i) + late(i)),
                              firstFrame + static_cast<std::uint32_t>(i) * kPeriod});
        return cycles;
    }
};

// Callbacks a little late (up to kJitter), now and then by whole
// milliseconds, and once late for six cycles running.
constexpr double kJitter = 120;
constexpr std::size_t kWindowCycles = 250'000 / 5333 + 1;
double Jittery(std::size_t i) {
    if (i >= 40 && i < 46)
        return 4000;
    return (i % 7 == 3) ? 2500 : static_cast<double>(i % 5) * kJitter / 4;
}

TEST(WireClock, DueTimesLeaveOutTheSchedulersLateness) {
    const struct {
        const char* what;
        Schedule schedule;
    } cases[] = {
        {"steady", {}},
        {"frame time wrapping around", {.firstFrame = 0xFFFFFFFFu - 50 * kPeriod}},
        {"re-anchored 3 ms later after an overrun", {.jumpAt = 62, .jump = 3000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto due = DueTimes(c.schedule.Seen(200, Jittery), kRate);
        ASSERT_EQ(due.size(), 200u);
        // The last cycles have less than a window after them to learn from;
        // a recording goes on idling well past the fade.
        for (std::size_t i = 0; i < due.size() - kWindowCycles; ++i)
            ASSERT_NEAR(due[i], c.schedule.Due(i), kJitter) << "cycle " << i;
    }
}

}  // namespace
}  // namespace faderwell::bench
