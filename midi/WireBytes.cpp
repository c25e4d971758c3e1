#include "midi/WireBytes.h"

namespace faderwell {

namespace {
std::size_t MessageLength(std::uint8_t status) {
    using namespace midi;
    if ((status & kStatusBit) == 0 || status == kSystemExclusive)
        return 0;
    const std::uint8_t kind = KindOf(status);
    if (kind == kProgramChange || kind == kChannelPressure)
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
