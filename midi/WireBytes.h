#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/Messages.h"

namespace faderwell {

/// The bytes of a short-message word as they go on the wire, status first.
struct WireBytes {
    std::array<std::uint8_t, 3> bytes{};
    std::size_t size{0};  // 0 when the word holds no message that fits a short message
};

/// Splits `word` into the bytes its status byte calls for: three for Note
/// Off/On, Poly Pressure, Control Change and Pitch Bend, two for Program
/// Change and Channel Pressure. A word without a status byte, or with one that
/// begins a message longer than a word (System Exclusive), yields no bytes.
WireBytes ToWireBytes(ShortMessage word);

}  // namespace faderwell
