// The platform-free rules the backends share: the capability record's name
// field, a word's bytes on the wire, the reset where the platform has none,
// and where in a JACK cycle a stamped word leaves.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "midi/SoundingNotes.h"
#include "midi/WireBytes.h"
#include "midi/jack/CycleClock.h"
#include "midi/jack/StampedWordRing.h"
#include "midi/winmm/ProductName.h"

namespace faderwell::test {
namespace {

std::array<char, kProductNameField> Field(std::string_view bytes) {
    std::array<char, kProductNameField> field;
    field.fill('#');  // what an earlier query may have left behind
    std::copy(bytes.begin(), bytes.end(), field.begin());
    return field;
}

struct NameCase {
    const char* name;
    std::string bytes;
    std::string shown;
    friend void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }
};

class ProductNameField : public testing::TestWithParam<NameCase> {};

TEST_P(ProductNameField, EndsAtTheFirstZeroByteOrFillsAllThirtyTwo) {
    const auto field = Field(GetParam().bytes);
    EXPECT_EQ(ProductName(field), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ProductNameField,
    testing::Values(NameCase{"Terminated", std::string("Microsoft GS Wavetable Synth\0", 29),
                             "Microsoft GS Wavetable Synth"},
                    NameCase{"FillsTheField", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345",
                             "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"},
                    NameCase{"ZeroAtTheLastByte",
                             std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234\0", 32),
                             "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"},
                    NameCase{"TextAfterTheZeroIsNotShown", std::string("Synth\0Old", 9), "Synth"},
                    NameCase{"Empty", std::string("\0", 1), ""},
                    NameCase{"AnsiBytesPassUnchanged", std::string("\x83\x8A\x83\x5E\0", 5),
                             "\x83\x8A\x83\x5E"}),
    [](const testing::TestParamInfo<NameCase>& test) { return std::string(test.param.name); });

struct WireCase {
    const char* name;
    ShortMessage word;
    std::vector<std::uint8_t> bytes;
    friend void PrintTo(const WireCase& c, std::ostream* os) { *os << c.name; }
};

class WireBytesOf : public testing::TestWithParam<WireCase> {};

TEST_P(WireBytesOf, StatusFirstThenAsManyDataBytesAsTheMessageHas) {
    const WireBytes wire = ToWireBytes(GetParam().word);
    EXPECT_EQ(std::vector<std::uint8_t>(wire.bytes.begin(), wire.bytes.begin() + wire.size),
              GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Words, WireBytesOf,
    testing::Values(WireCase{"ControlChange", 0x6407B0, {0xB0, 0x07, 0x64}},
                    WireCase{"ControlChangeValueZero", 0x0020B9, {0xB9, 0x20, 0x00}},
                    WireCase{"ProgramChangeHasOneDataByte", 0x0000C9, {0xC9, 0x00}},
                    WireCase{"ChannelPressureHasOneDataByte", 0x0040D3, {0xD3, 0x40}},
                    WireCase{"NoteOn", 0x642A99, {0x99, 0x2A, 0x64}},
                    WireCase{"NoteOff", 0x002A89, {0x89, 0x2A, 0x00}},
                    WireCase{"PitchBend", 0x4000E0, {0xE0, 0x00, 0x40}},
                    WireCase{"SongPosition", 0x0102F2, {0xF2, 0x02, 0x01}},
                    WireCase{"SongSelect", 0x0005F3, {0xF3, 0x05}},
                    WireCase{"TimingClock", 0x0000F8, {0xF8}},
                    WireCase{"NoStatusByte", 0x00407F, {}},
                    WireCase{"SystemExclusiveDoesNotFit", 0x7E7EF0, {}}),
    [](const testing::TestParamInfo<WireCase>& test) { return std::string(test.param.name); });

std::vector<ShortMessage> ChannelSilencers() {
    std::vector<ShortMessage> words;
    for (int channel = 1; channel <= midi::kChannelCount; ++channel) {
        const auto status = static_cast<std::uint8_t>(0xAF + channel);
        words.push_back(PackShortMessage(status, 64, 0));   // Sustain off
        words.push_back(PackShortMessage(status, 123, 0));  // All Notes Off
    }
    return words;
}

struct ResetCase {
    const char* name;
    std::vector<ShortMessage> tracked;
    std::vector<ShortMessage> noteOffs;  // ahead of the channel silencers
    friend void PrintTo(const ResetCase& c, std::ostream* os) { *os << c.name; }
};

class SoundingNotesReset : public testing::TestWithParam<ResetCase> {};

TEST_P(SoundingNotesReset, EndsEachSoundingNoteOnceThenSilencesEveryChannel) {
    SoundingNotes notes;
    for (const ShortMessage word : GetParam().tracked) notes.Track(word);
    EXPECT_EQ(notes.Empty(), GetParam().noteOffs.empty());
    auto expected = GetParam().noteOffs;
    const auto silencers = ChannelSilencers();
    expected.insert(expected.end(), silencers.begin(), silencers.end());
    EXPECT_EQ(notes.SilencingWords(), expected);
    for (const ShortMessage word : notes.SilencingWords()) {
        EXPECT_NE((word >> 8) & 0xFF, 121u) << "Reset All Controllers would undo the faders";
    }
    notes.Clear();
    EXPECT_EQ(notes.SilencingWords(), silencers);
}

INSTANTIATE_TEST_SUITE_P(
    Tracked, SoundingNotesReset,
    testing::Values(
        ResetCase{"AFadersControlChangeIsNoNote", {0x6407B0}, {}},
        ResetCase{"HiHatStruckTwiceEndedOnce", {0x642A99, 0x642A99}, {0x002A89}},
        // Channel 1 key 64, channel 16 key 60, channel 1 key 60: by channel, then key.
        ResetCase{
            "ByChannelThenKey", {0x7F4090, 0x7F3C9F, 0x7F3C90}, {0x003C80, 0x004080, 0x003C8F}},
        ResetCase{"EndedByNoteOff", {0x642A99, 0x402A89}, {}},
        ResetCase{"EndedByNoteOnWithVelocityZero", {0x642A99, 0x002A99}, {}},
        // Channel 9 with the same key, channel 10 with another key.
        ResetCase{"OtherChannelOrKeyEndsNothing", {0x642A99, 0x002A88, 0x002B89}, {0x002A89}}),
    [](const testing::TestParamInfo<ResetCase>& test) { return std::string(test.param.name); });

struct OffsetCase {
    const char* name;
    std::uint32_t stamp;
    std::uint32_t cycleStart;
    std::uint32_t notBefore;
    std::optional<std::uint32_t> offset;  // in a 256-frame cycle
    std::uint32_t ahead{0};               // headroom and lateness beyond the two periods
    friend void PrintTo(const OffsetCase& c, std::ostream* os) { *os << c.name; }
};

class JackFrameOffset : public testing::TestWithParam<OffsetCase> {};

TEST_P(JackFrameOffset, LeavesOnePeriodAfterItWasSentInOrder) {
    const auto& c = GetParam();
    EXPECT_EQ(FrameOffset(c.stamp, c.cycleStart, 256, c.notBefore, c.ahead), c.offset);
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, JackFrameOffset,
    testing::Values(
        OffsetCase{"SentAtTheStartOfTheLastCycle", 1000, 1256, 0, 0u},
        OffsetCase{"SentMidwayThroughTheLastCycle", 1100, 1256, 0, 100u},
        OffsetCase{"SentAtTheEndOfTheLastCycle", 1255, 1256, 0, 255u},
        OffsetCase{"SentInThisCycleWaitsForTheNext", 1256, 1256, 0, std::nullopt},
        OffsetCase{"SentAfterThisCycleStartedWaits", 1300, 1256, 0, std::nullopt},
        OffsetCase{"LateCycleSendsAtOnce", 500, 1256, 0, 0u},
        OffsetCase{"StampFarAheadOfTheClockSendsAtOnce", 1256 + 512, 1256, 40, 40u},
        OffsetCase{"NeverAheadOfTheWordBefore", 1100, 1256, 180, 180u},
        OffsetCase{"StampedWithinTheHeadroomWaits", 1256 + 700, 1256, 0, std::nullopt, 480},
        OffsetCase{"StampedBeyondTheHeadroomSendsAtOnce", 1256 + 512 + 480, 1256, 40, 40u, 480},
        OffsetCase{"FrameTimeWrapsAround", 0xFFFFFFF0u, 0x00000010u, 0, 224u},
        OffsetCase{"SentJustBeforeTheWrapIntoThisCycle", 0x00000010u, 0x00000010u, 0,
                   std::nullopt}),
    [](const testing::TestParamInfo<OffsetCase>& test) { return std::string(test.param.name); });

TEST(StampedWordRingTest, KeepsOrderAcrossTheWrapAndRefusesWhenFull) {
    auto ring = std::make_unique<StampedWordRing>();
    for (std::uint32_t round = 0; round < 3; ++round) {
        for (std::uint32_t i = 0; i < StampedWordRing::kCapacity; ++i) {
            ASSERT_TRUE(ring->Push({round * 10000 + i, 1, {}}));
        }
        EXPECT_FALSE(ring->Push({}));
        for (std::uint32_t i = 0; i < StampedWordRing::kCapacity; ++i) {
            ASSERT_NE(ring->Front(), nullptr);
            ASSERT_EQ(ring->Front()->moment, round * 10000 + i);
            ring->Pop();
        }
        EXPECT_TRUE(ring->Empty());
        EXPECT_EQ(ring->Front(), nullptr);
    }
}

// A server at 48 kHz and 256 frames whose callbacks run a little late, now
// and then by whole milliseconds, and whose schedule starts afresh 60 ms
// later at cycle 100, as jackd's dummy driver does after a stall. Asked
// between cycles, the clock must name the frame due then, to within a few
// frames, from the first cycle on and again a window after the new schedule.
TEST(CycleClockTest, NamesTheFrameDueNowAndFollowsANewSchedule) {
    constexpr std::uint32_t kRate = 48000, kPeriod = 256;
    constexpr double kPeriodMicroseconds = kPeriod * 1e6 / kRate;
    constexpr double kStall = 60'000;
    constexpr std::uint32_t kFirstFrame = 0xFFFFFFFFu - 40 * kPeriod;  // wraps at cycle 41
    const auto due = [&](int cycle) {
        return 5e9 + cycle * kPeriodMicroseconds + (cycle >= 100 ? kStall : 0.0);
    };
    CycleClock clock;
    std::uint32_t frame = 0;
    EXPECT_FALSE(clock.FrameAt(5'000'000'000, frame)) << "no cycle seen yet";
    for (int cycle = 0; cycle < 200; ++cycle) {
        const double late = cycle % 9 == 4 ? 3000.0 : (cycle % 4) * 25.0;
        const auto cycleFrame = kFirstFrame + static_cast<std::uint32_t>(cycle) * kPeriod;
        clock.Cycle(static_cast<std::uint64_t>(due(cycle) + late), cycleFrame, kPeriod, kRate);
        if (cycle >= 100 && cycle < 100 + static_cast<int>(CycleClock::kShiftCycles))
            continue;  // not yet told from late cycles
        const double asked =
            due(cycle) + 0.75 * kPeriodMicroseconds + 3500;  // a late cycle's start
        ASSERT_TRUE(clock.FrameAt(static_cast<std::uint64_t>(asked), frame));
        const auto expected = cycleFrame + static_cast<std::uint32_t>(192 + 3500 * kRate / 1e6);
        EXPECT_NEAR(static_cast<std::int32_t>(frame - expected), 0, 4) << "cycle " << cycle;
    }
}

}  // namespace
}  // namespace faderwell::test
