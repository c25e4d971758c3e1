#pragma once

#include <cstdint>

#include "FadeSpeed.h"
#include "Messages.h"
#include "OutputList.h"
#include "ProcessValues.h"

namespace faderwell {

/// What the program holds before the stored settings are loaded over it.
struct Defaults {
    static constexpr std::int32_t kOutput = OutputList::kMapper;
    static constexpr std::int32_t kSpeedStep = 3;
    static constexpr std::int32_t kVendor = kVendorKorg;
    /// The fade timer's interval until start-up applies the stored speed.
    static constexpr int kFadeInterval = FadeIntervalForStep(kSpeedStep);

    static constexpr ProcessValues Values() { return {kOutput, kSpeedStep, kVendor}; }
};

}  // namespace faderwell
