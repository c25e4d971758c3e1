#pragma once

#include <cstdint>
#include <string>

namespace faderwell {

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

}  // namespace faderwell
