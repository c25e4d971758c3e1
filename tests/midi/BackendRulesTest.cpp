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
#include "midi/timing/CycleClock.h"
#include "midi/timing/StampedWordRing.h"
#include "midi/winmm/ProductName.h"

namespace faderwell::test {
namespace {

std::array<char, kProductNameField> Field(std::string_view bytes) {
    std::array<char, kProductNameField> field;
    field.fill('#');  // what an earlier query may have left behind
    std::copy(bytes.begin(), bytes.end(), field.begin());
    return field;
}

struct ProductNameCase {
    const char* name;
    std::string bytes;
    std::string shown;
    friend void PrintTo(const ProductNameCase& c, std::ostream* os) { *os << c.name; }
};

class ProductNameField : public testing::TestWithParam<ProductNameCase> {};

TEST_P(ProductNameField, EndsAtTheFirstZeroByteOrFillsAllThirtyTwo) {
    const auto field = Field(GetParam().bytes);
    EXPECT_EQ(ProductName(field), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ProductNameField,
    testing::Values(
        ProductNameCase{"Terminated", std::string("Microsoft GS Wavetable Synth\0", 29),
                        "Microsoft GS Wavetable Synth"},
        ProductNameCase{"FillsTheField", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345",
                        "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"},
        ProductNameCase{"ZeroAtTheLastByte", std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234\0", 32),
                        "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"},
        ProductNameCase{"TextAfterTheZeroIsNotShown", std::string("Synth\0Old", 9), "Synth"},
        ProductNameCase{"Empty", std::string("\0", 1), ""},
        ProductNameCase{"AnsiBytesPassUnchanged", std::string("\x83\x8A\x83\x5E\0", 5),
                        "\x83\x8A\x83\x5E"}),
    [](const testing::TestParamInfo<ProductNameCase>& test) {
        return std::string(test.param.name);
    });

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

// A 256-frame cycle at 48 kHz (5,333 µs) that started at kCycleStart µs.
constexpr std::uint32_t kCycleStart = 1'000'000;

struct OffsetCase {
    const char* name;
    std::uint32_t leave;  // µs
    std::uint32_t notBefore;
    std::optional<std::uint32_t> offset;
    std::uint32_t cycleStart{kCycleStart};
    std::uint32_t ahead{30'000};
    friend void PrintTo(const OffsetCase& c, std::ostream* os) { *os << c.name; }
};

class JackFrameOffset : public testing::TestWithParam<OffsetCase> {};

TEST_P(JackFrameOffset, LeavesAtItsMomentsFrameInOrder) {
    const auto& c = GetParam();
    EXPECT_EQ(FrameOffset(c.leave, c.cycleStart, 256, 48000, c.notBefore, c.ahead), c.offset);
}

INSTANTIATE_TEST_SUITE_P(
    Moments, JackFrameOffset,
    testing::Values(OffsetCase{"AtTheCyclesStart", kCycleStart, 0, 0u},
                    OffsetCase{"OneMillisecondIn", kCycleStart + 1000, 0, 48u},
                    OffsetCase{"AtTheCyclesLastFrame", kCycleStart + 5333, 0, 255u},
                    OffsetCase{"PastTheCycleWaits", kCycleStart + 5334, 0, std::nullopt},
                    OffsetCase{"WithinReachWaits", kCycleStart + 29'000, 0, std::nullopt},
                    OffsetCase{"PassedLeavesAtOnce", kCycleStart - 3000, 0, 0u},
                    OffsetCase{"NeverAheadOfTheWordBefore", kCycleStart + 1000, 100, 100u},
                    OffsetCase{"PassedWaitsForTheWordBefore", kCycleStart - 3000, 100, 100u},
                    OffsetCase{"LaterThanTheWordBeforeKeepsItsFrame", kCycleStart + 3000, 100,
                               144u},
                    OffsetCase{"BeyondReachLeavesAtOnce", kCycleStart + 31'000, 7, 7u},
                    OffsetCase{"ClockWrapsAround", 0x00000100u, 0, 24u, 0xFFFFFF00u},
                    OffsetCase{"PassedAcrossTheWrap", 0xFFFFFF00u, 0, 0u, 0x00000100u}),
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

// A server whose account of each cycle's start is late by 0 to 150 µs
// (every fourth cycle on time), and which at cycle 100 changes: its period
// or rate, or the moment its cycles start (a stall, a new schedule). The
// clock must give every cycle's start on the schedule from the change on,
// never earlier than it was, and never later than that cycle's own account.
struct ScheduleCase {
    const char* name;
    std::uint32_t frames{256};
    std::uint32_t rate{48000};
    std::uint32_t framesAfter{256};
    std::uint32_t rateAfter{48000};
    double shift{0};  // µs the cycles start later from cycle 100 on
    bool announced{false};
    friend void PrintTo(const ScheduleCase& c, std::ostream* os) { *os << c.name; }
};

class CycleClockSchedule : public testing::TestWithParam<ScheduleCase> {};

TEST_P(CycleClockSchedule, GivesEachCyclesStartOnTheScheduleFromTheChangeOn) {
    constexpr int kChange = 100;
    const auto& c = GetParam();
    CycleClock clock;
    double due = 5e9;  // the true start of the cycle
    bool onTimeSinceChange = false;
    for (int cycle = 0; cycle < 200; ++cycle) {
        const bool after = cycle >= kChange;
        const std::uint32_t frames = after ? c.framesAfter : c.frames;
        const std::uint32_t rate = after ? c.rateAfter : c.rate;
        if (cycle == kChange)
            due += c.shift;
        const double late = (cycle % 4) * 50.0;
        if (cycle == 0 || cycle == kChange)
            onTimeSinceChange = false;
        onTimeSinceChange = onTimeSinceChange || late == 0;
        const double start = clock.Cycle(due + late, frames, rate, cycle == kChange && c.announced);
        EXPECT_EQ(start, clock.Start());
        EXPECT_GE(start - due, -1.0) << "cycle " << cycle;
        EXPECT_LE(start - due, onTimeSinceChange ? 1.0 : late + 1.0) << "cycle " << cycle;
        due += frames * 1e6 / rate;
    }
    EXPECT_NEAR(clock.PeriodMicroseconds(), c.framesAfter * 1e6 / c.rateAfter, 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, CycleClockSchedule,
    testing::Values(ScheduleCase{"Steady"},
                    ScheduleCase{.name = "StallStartsANewScheduleLater", .shift = 60'000},
                    ScheduleCase{.name = "JumpJustPastTheThreshold", .shift = 300},
                    ScheduleCase{.name = "ScheduleMovesEarlier", .shift = -4000},
                    ScheduleCase{.name = "PeriodShrinksOnTheSameSchedule",
                                 .frames = 1024,
                                 .framesAfter = 128,
                                 .announced = true},
                    ScheduleCase{.name = "PeriodGrowsOnANewSchedule",
                                 .frames = 16,
                                 .framesAfter = 1024,
                                 .shift = 3000,
                                 .announced = true},
                    ScheduleCase{.name = "RateChangesUnannounced",
                                 .rate = 48000,
                                 .rateAfter = 44100,
                                 .shift = 700}),
    [](const testing::TestParamInfo<ScheduleCase>& test) { return std::string(test.param.name); });

// What a word waits for beyond the headroom, on cycles that start on time
// (what it came down to 6 s after the change, at a hundredth of the time):
// the period is `frames` until cycle 100, then `framesAfter`, and from
// cycle 100 the cycles start `shift` µs later (cycles the server skipped),
// or only cycle 100 does (`lateOnce`, a late account). Due words wait in
// every cycle unless `quietAfter`, when none comes after the change.
struct LatencyCase {
    const char* name;
    std::uint32_t frames{1024};
    std::uint32_t framesAfter{1024};
    double shift{0};
    bool lateOnce{false};
    bool quietAfter{false};
    double periodAfter;  // µs, the latency's period just after the change
    double shiftAfter;   // µs
    double periodLater;  // µs, and 6 s after it
    double shiftLater;
    friend void PrintTo(const LatencyCase& c, std::ostream* os) { *os << c.name; }
};

class CycleClockLatency : public testing::TestWithParam<LatencyCase> {};

TEST_P(CycleClockLatency, FollowsThePeriodAndTheSkippedSpan) {
    constexpr int kChange = 100;
    const auto& c = GetParam();
    CycleClock clock;
    double due = 5e9;
    double changedAt = 0;
    bool checkedAfter = false;
    for (int cycle = 0; due - changedAt < 6e6 || cycle <= kChange; ++cycle) {
        const std::uint32_t frames = cycle >= kChange ? c.framesAfter : c.frames;
        if (cycle == kChange) {
            due += c.shift;
            changedAt = due;
        }
        if (cycle == kChange + 1 && c.lateOnce)
            due -= c.shift;
        clock.Cycle(due, frames, 48000, cycle == kChange && c.framesAfter != c.frames);
        if (cycle < kChange || !c.quietAfter)
            clock.DueWordWaiting();
        if (cycle == kChange + 2) {
            // Two cycles may have taken a hundredth of their length off.
            EXPECT_NEAR(clock.LatencyPeriodMicroseconds(), c.periodAfter, 1000.0);
            EXPECT_NEAR(clock.ShiftMicroseconds(), c.shiftAfter, 1000.0);
            checkedAfter = true;
        }
        due += frames * 1e6 / 48000;
    }
    EXPECT_TRUE(checkedAfter);
    EXPECT_NEAR(clock.LatencyPeriodMicroseconds(), c.periodLater, 100.0);  // a cycle's ease
    EXPECT_NEAR(clock.ShiftMicroseconds(), c.shiftLater, 100.0);
}

constexpr double k1024 = 1024 * 1e6 / 48000;
constexpr double k2048 = 2048 * 1e6 / 48000;
constexpr double k256 = 256 * 1e6 / 48000;

INSTANTIATE_TEST_SUITE_P(
    Changes, CycleClockLatency,
    testing::Values(
        // clang-format off
        LatencyCase{"Steady", 1024, 1024, 0, false, false, k1024, 0, k1024, 0},
        LatencyCase{"PeriodGrowsAtOnce", 1024, 2048, 0, false, false, k2048, 0, k2048, 0},
        LatencyCase{"PeriodShrinksAfterASecond", 2048, 256, 0, false, false, k2048, 0, k256, 0},
        // PipeWire skips a cycle as the quantum changes.
        LatencyCase{"SkippedCycleShifts", 1024, 2048, k1024, false, false, k2048, k1024, k2048, 0},
        LatencyCase{"StallShifts", 256, 256, 30'000, false, false, k256, 30'000, k256, 0},
        LatencyCase{"ShiftFirstThenThePeriodComeDown", 2048, 256, 40'000, false, false, k2048,
                    40'000, k2048 - (6e6 - 40'000 / 0.01) * 0.01, 0},
        LatencyCase{"ShiftGoesWhenNoWordIsDue", 256, 256, 30'000, false, true, k256, 30'000, k256,
                    0},
        LatencyCase{"LateAccountIsNoSkip", 256, 256, 3'000, true, false, k256, 0, k256, 0},
        LatencyCase{"EarlierScheduleShiftsNothing", 256, 256, -4'000, false, false, k256, 0, k256,
                    0}),
    // clang-format on
    [](const testing::TestParamInfo<LatencyCase>& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace faderwell::test
