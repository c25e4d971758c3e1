#pragma once

#include <cstdint>

namespace faderwell {

/// Where each kind of output stands in the settings dialog's list, and so in
/// the stored output index.
struct OutputList {
    static constexpr std::int32_t kNone = 0;         // "(None)"
    static constexpr std::int32_t kMapper = 1;       // "MIDI MAPPER"
    static constexpr std::int32_t kFirstDevice = 2;  // device k stands at kFirstDevice + k
};

}  // namespace faderwell
