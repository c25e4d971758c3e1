#include <gtest/gtest.h>

#include <iomanip>
#include <ostream>

#include "core/Messages.h"

namespace faderwell {
namespace {

/// A word as a MIDI monitor shows it: data 2, data 1, status, in hex.
void PrintWord(ShortMessage word, std::ostream* os) {
    *os << "0x" << std::hex << std::uppercase << std::setw(6) << std::setfill('0') << word
        << std::dec << std::setfill(' ');
}

struct VolumeCase {
    int channel, controller, position;
    ShortMessage word;

    friend void PrintTo(const VolumeCase& c, std::ostream* os) {
        *os << "channel " << c.channel << ", controller " << c.controller << ", position "
            << c.position << " -> ";
        PrintWord(c.word, os);
    }
};

class ChannelVolume : public testing::TestWithParam<VolumeCase> {};

TEST_P(ChannelVolume, ComposesStatusControllerAndInvertedPosition) {
    const auto& c = GetParam();
    EXPECT_EQ(ChannelVolumeMessage(c.channel, c.controller, c.position), c.word);
}

INSTANTIATE_TEST_SUITE_P(Words, ChannelVolume,
                         testing::Values(VolumeCase{1, 7, 27, 0x6407B0},     // value 100
                                         VolumeCase{16, 0, 64, 0x3F00BF},    // start position
                                         VolumeCase{1, 127, 0, 0x7F7FB0},    // top, controller 127
                                         VolumeCase{5, 0, 127, 0x0000B4},    // bottom: value 0
                                         VolumeCase{10, 32, 63, 0x4020B9}),  // "64" preset
                         [](const auto& test) { return "case" + std::to_string(test.index); });

struct DrumCase {
    std::int32_t vendor;
    std::array<ShortMessage, 3> words;

    friend void PrintTo(const DrumCase& c, std::ostream* os) {
        *os << "vendor " << c.vendor << " ->";
        for (const ShortMessage word : c.words) {
            *os << ' ';
            PrintWord(word, os);
        }
    }
};

class DrumKit : public testing::TestWithParam<DrumCase> {};

TEST_P(DrumKit, SelectsBankThenProgramOnChannelTen) {
    EXPECT_EQ(DrumKitSelect(GetParam().vendor), GetParam().words);
}

constexpr std::array<ShortMessage, 3> kKorg{0x3E00B9, 0x0020B9, 0x0000C9};
INSTANTIATE_TEST_SUITE_P(Vendors, DrumKit,
                         testing::Values(DrumCase{0, kKorg},
                                         DrumCase{1, {0x3D00B9, 0x0220B9, 0x0000C9}},
                                         DrumCase{2, {0x7F00B9, 0x0020B9, 0x0000C9}},
                                         DrumCase{3, kKorg}, DrumCase{255, kKorg},
                                         DrumCase{-1, kKorg}),
                         [](const auto& test) { return "vendor" + std::to_string(test.index); });

TEST(HiHat, IsNoteOnKey42Velocity100OnChannelTen) {
    EXPECT_EQ(HiHatTick(), 0x642A99u);
}

}  // namespace
}  // namespace faderwell
