#pragma once

#include <cstdint>
#include <string>

#include "FadeSpeed.h"
#include "Messages.h"

namespace faderwell {

/// Where each kind of output stands in the settings dialog's list, and so in
/// the stored output index.
struct OutputList {
    static constexpr std::int32_t kNone = 0;         // "(None)"
    static constexpr std::int32_t kMapper = 1;       // "MIDI MAPPER"
    static constexpr std::int32_t kFirstDevice = 2;  // device k stands at kFirstDevice + k
};

/// The process-wide settings variables. Zero at process start; start-up sets
/// the defaults and loads the stored bytes over them. Each is stored as its
/// low-order byte, so a loaded value is 0..255 and is never range-checked.
struct ProcessValues {
    std::int32_t MidiOutIndex{0};  // an OutputList position
    std::int32_t SpeedStep{0};     // 1 slowest .. 5 fastest
    std::int32_t Vendor{0};        // 0 KORG, 1 Roland/GM, 2 YAMAHA
    /// The chosen output's list entry text, stored beside its position so
    /// that the output is found again when the positions have moved. Empty:
    /// none stored.
    std::string MidiOutName{};
};

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
