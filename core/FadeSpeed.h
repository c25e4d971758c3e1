#pragma once

#include <array>
#include <cstddef>

namespace faderwell {

inline constexpr int kSpeedStepMin = 1;
inline constexpr int kSpeedStepMax = 5;
/// How many speed steps the slider offers; the tables by step have this size.
inline constexpr std::size_t kSpeedStepCount = kSpeedStepMax - kSpeedStepMin + 1;

/// Tick interval in milliseconds for speed steps 1 (slowest) to 5 (fastest).
/// The bench asks the program for these figures rather than keeping its own.
inline constexpr std::array<int, kSpeedStepCount> kFadeIntervals{250, 200, 150, 100, 50};

/// The fade timer's interval for a speed step; the step is held within 1..5,
/// as the speed slider shows it.
constexpr int FadeIntervalForStep(int step) {
    const int held =
        step < kSpeedStepMin ? kSpeedStepMin : (step > kSpeedStepMax ? kSpeedStepMax : step);
    return kFadeIntervals[static_cast<std::size_t>(held - kSpeedStepMin)];
}

}  // namespace faderwell
