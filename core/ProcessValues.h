#pragma once

#include <cstdint>

namespace faderwell {

/// The process-wide settings variables. Zero at process start; start-up sets
/// the defaults and loads the stored bytes over them. Each is stored as its
/// low-order byte, so a loaded value is 0..255 and is never range-checked.
struct ProcessValues {
    std::int32_t MidiOutIndex{0};  // 0 "(None)", 1 "MIDI MAPPER", 2+ device index + 2
    std::int32_t SpeedStep{0};     // 1 slowest .. 5 fastest
    std::int32_t Vendor{0};        // 0 KORG, 1 Roland/GM, 2 YAMAHA
};

}  // namespace faderwell
