#include "Messages.h"

namespace faderwell {

std::array<ShortMessage, 3> DrumKitSelect(std::int32_t vendor) {
    std::uint8_t msb = 62;  // KORG, and every unknown vendor
    std::uint8_t lsb = 0;
    if (vendor == kVendorRoland) {
        msb = 61;
        lsb = 2;
    } else if (vendor == kVendorYamaha) {
        msb = 127;
    }
    const std::uint8_t cc = ChannelStatus(midi::kControlChange, midi::kDrumChannel);
    return {PackShortMessage(cc, midi::kBankSelectMsb, msb),
            PackShortMessage(cc, midi::kBankSelectLsb, lsb),
            PackShortMessage(ChannelStatus(midi::kProgramChange, midi::kDrumChannel), 0, 0)};
}

}  // namespace faderwell
