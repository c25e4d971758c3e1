#pragma once

#include <array>
#include <cstdint>

namespace faderwell {

/// One whole MIDI channel message: status in bits 0-7, first data byte in
/// bits 8-15, second data byte in bits 16-23, the rest zero. The least
/// significant byte goes on the wire first.
using ShortMessage = std::uint32_t;

namespace midi {
// Status bytes: a set top bit marks one; a channel message's kind is its high
// nibble and its channel (0-based) the low one.
inline constexpr std::uint8_t kStatusBit = 0x80;
inline constexpr std::uint8_t kKindMask = 0xF0;
inline constexpr std::uint8_t kChannelMask = 0x0F;
inline constexpr std::uint8_t kDataMask = 0x7F;

// Channel message kinds.
inline constexpr std::uint8_t kNoteOff = 0x80;
inline constexpr std::uint8_t kNoteOn = 0x90;
inline constexpr std::uint8_t kControlChange = 0xB0;
inline constexpr std::uint8_t kProgramChange = 0xC0;
inline constexpr std::uint8_t kChannelPressure = 0xD0;

// System messages: the kind kSystem, told apart by the whole status byte.
inline constexpr std::uint8_t kSystem = 0xF0;
inline constexpr std::uint8_t kSystemExclusive = 0xF0;
inline constexpr std::uint8_t kTimeCodeQuarterFrame = 0xF1;
inline constexpr std::uint8_t kSongPosition = 0xF2;
inline constexpr std::uint8_t kSongSelect = 0xF3;

// Controller numbers.
inline constexpr std::uint8_t kBankSelectMsb = 0;
inline constexpr std::uint8_t kBankSelectLsb = 32;
inline constexpr std::uint8_t kSustainPedal = 64;
inline constexpr std::uint8_t kAllNotesOff = 123;

inline constexpr std::uint8_t kClosedHiHat = 42;  // General MIDI percussion map
inline constexpr int kDrumChannel = 10;
inline constexpr int kChannelCount = 16;
inline constexpr int kDataMax = 127;
}  // namespace midi

/// Drum-kit vendor codes as stored; any other value composes as KORG.
enum Vendor : std::int32_t { kVendorKorg = 0, kVendorRoland = 1, kVendorYamaha = 2 };

/// The kind of message a status byte starts (its high nibble).
constexpr std::uint8_t KindOf(std::uint32_t status) {
    return static_cast<std::uint8_t>(status & midi::kKindMask);
}

/// status + data1 * 256 + data2 * 65536.
constexpr ShortMessage PackShortMessage(std::uint8_t status, std::uint8_t data1,
                                        std::uint8_t data2) {
    return ShortMessage{status} | ShortMessage{data1} << 8 | ShortMessage{data2} << 16;
}

/// Status byte of a channel message of `kind` on `channel` (1..16).
constexpr std::uint8_t ChannelStatus(std::uint8_t kind, int channel) {
    return static_cast<std::uint8_t>(kind + channel - 1);
}

/// The Control Change a fader sends: controller number and the value the
/// fader position stands for (127 - position). The caller keeps controller
/// and position within 0..127.
constexpr ShortMessage ChannelVolumeMessage(int channel, int controller, int position) {
    return PackShortMessage(ChannelStatus(midi::kControlChange, channel),
                            static_cast<std::uint8_t>(controller),
                            static_cast<std::uint8_t>(midi::kDataMax - position));
}

/// Bank Select MSB, Bank Select LSB and Program Change 0 on the drum channel,
/// in the order they are sent.
std::array<ShortMessage, 3> DrumKitSelect(std::int32_t vendor);

/// Note On, closed hi-hat, velocity 100 on the drum channel. Never followed by
/// a Note Off: the output reset silences it.
constexpr ShortMessage HiHatTick() {
    constexpr std::uint8_t kVelocity = 100;
    return PackShortMessage(ChannelStatus(midi::kNoteOn, midi::kDrumChannel), midi::kClosedHiHat,
                            kVelocity);
}

}  // namespace faderwell
