#include "midi/WireBytes.h"

namespace faderwell {

namespace {
constexpr std::uint8_t kStatusBit = 0x80;
constexpr std::uint8_t kKindMask = 0xF0;
constexpr std::uint8_t kSystem = 0xF0;
constexpr std::uint8_t kSystemExclusive = 0xF0;
constexpr std::uint8_t kTimeCodeQuarterFrame = 0xF1;
constexpr std::uint8_t kSongPosition = 0xF2;
constexpr std::uint8_t kSongSelect = 0xF3;
constexpr std::uint8_t kChannelPressure = 0xD0;

std::size_t MessageLength(std::uint8_t status) {
    if ((status & kStatusBit) == 0 || status == kSystemExclusive)
        return 0;
    const auto kind = static_cast<std::uint8_t>(status & kKindMask);
    if (kind == midi::kProgramChange || kind == kChannelPressure)
        return 2;
    if (kind != kSystem)
        return 3;
    if (status == kSongPosition)
        return 3;
    if (status == kTimeCodeQuarterFrame || status == kSongSelect)
        return 2;
    return 1;  // the other system common and real-time messages are a status byte alone
}
}  // namespace

WireBytes ToWireBytes(ShortMessage word) {
    WireBytes wire;
    for (std::size_t i = 0; i < wire.bytes.size(); ++i) {
        wire.bytes[i] = static_cast<std::uint8_t>(word >> (8 * i));
    }
    wire.size = MessageLength(wire.bytes[0]);
    return wire;
}

}  // namespace faderwell
