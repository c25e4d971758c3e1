#include "bench/FadeTiming.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace faderwell::bench {
namespace {

constexpr std::uint64_t kStart = 1'000'000;

std::vector<std::uint8_t> Bytes(ShortMessage word) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(word),
                                    static_cast<std::uint8_t>(word >> 8)};
    // Program Change carries one data byte.
    if (KindOf(word) != midi::kProgramChange)
        bytes.push_back(static_cast<std::uint8_t>(word >> 16));
    return bytes;
}

/// The recording of a whole default fade (values 1 to 127), each tick due at
/// start + k x interval and moved by `late(k)` microseconds.
std::vector<WireEvent> Recording(const FadeExpectation& fade,
                                 const std::function<std::int64_t(int)>& late = {}) {
    std::vector<WireEvent> events;
    for (const ShortMessage word : DrumKitSelect(fade.vendor))
        events.push_back({kStart, Bytes(word)});
    for (int tick = 1; tick <= fade.ticks; ++tick) {
        const auto at = static_cast<std::uint64_t>(
            std::int64_t(kStart) + std::int64_t(tick) * fade.intervalMilliseconds * 1000 +
            (late ? late(tick) : 0));
        events.push_back({at, Bytes(HiHatTick())});
        const int value = fade.firstValue + (tick - 1) * fade.valueStep;
        for (int channel = 1; channel <= midi::kChannelCount; ++channel)
            events.push_back({at, Bytes(ChannelVolumeMessage(channel, fade.controller,
                                                             midi::kDataMax - value))});
    }
    return events;
}

/// Index of word `word` (0 = hi-hat, 1..16 = channels) of tick `tick` (1-based).
std::size_t At(int tick, int word) {
    return 3 + std::size_t(tick - 1) * 17 + std::size_t(word);
}

TEST(FadeTiming, AWholeFadeOnTimeIsIntactWithoutDeviation) {
    const FadeExpectation fade;
    const FadeTiming timing = AnalyseFade(Recording(fade), fade);
    EXPECT_TRUE(timing.WordsIntact());
    EXPECT_EQ(timing.ticksComplete, 127);
    EXPECT_EQ(timing.doubledWords, 0);
    EXPECT_DOUBLE_EQ(timing.p99AbsDeviationMs, 0);
    EXPECT_DOUBLE_EQ(timing.maxAbsDeviationMs, 0);
    EXPECT_DOUBLE_EQ(timing.totalMs, 6300);
    EXPECT_DOUBLE_EQ(timing.totalDeviationPercent, 0);
}

struct Damage {
    const char* name;
    std::function<void(std::vector<WireEvent>&)> apply;
    int ticksSeen;
    int ticksComplete;
    int strayWords;
    bool markerSeen;
    int doubledWords;
    friend void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.name; }
};

class DamagedFade : public testing::TestWithParam<Damage> {};

TEST_P(DamagedFade, IsCaught) {
    const FadeExpectation fade;
    auto events = Recording(fade);
    GetParam().apply(events);
    const FadeTiming timing = AnalyseFade(events, fade);
    EXPECT_FALSE(timing.WordsIntact());
    EXPECT_EQ(timing.ticksSeen, GetParam().ticksSeen);
    EXPECT_EQ(timing.ticksComplete, GetParam().ticksComplete);
    EXPECT_EQ(timing.strayWords, GetParam().strayWords);
    EXPECT_EQ(timing.startMarkerSeen, GetParam().markerSeen);
    EXPECT_EQ(timing.doubledWords, GetParam().doubledWords);
}

const Damage kDamages[] = {
    {"ChannelMissing", [](auto& e) { e.erase(e.begin() + std::ptrdiff_t(At(5, 16))); }, 127, 126, 0,
     true, 0},
    {"ChannelsSwapped", [](auto& e) { std::swap(e[At(9, 3)], e[At(9, 4)]); }, 127, 126, 0, true, 0},
    {"ValueRepeated", [](auto& e) { e[At(40, 7)].bytes[2] = 39; }, 127, 126, 0, true, 1},
    {"ExtraWordInATick",
     [](auto& e) { e.insert(e.begin() + std::ptrdiff_t(At(3, 5)), e[At(3, 5)]); }, 127, 126, 1,
     true, 1},
    {"TickMissing",
     [](auto& e) {
         e.erase(e.begin() + std::ptrdiff_t(At(60, 0)), e.begin() + std::ptrdiff_t(At(61, 0)));
     },
     126, 59, 0, true, 0},
    {"MarkerMissing", [](auto& e) { e.erase(e.begin(), e.begin() + 3); }, 127, 127, 0, false, 0},
    {"MarkerOfAnotherVendor", [](auto& e) { e[0].bytes[2] = 61; }, 127, 127, 3, false, 0},
    {"MarkerCutShort", [](auto& e) { e.erase(e.begin() + 1); }, 127, 127, 2, false, 0},
    {"TickAfterTheEnd",
     [](auto& e) {
         auto extra = std::vector<WireEvent>(e.end() - 17, e.end());
         e.insert(e.end(), extra.begin(), extra.end());
     },
     128, 127, 0, true, 17},
};

INSTANTIATE_TEST_SUITE_P(Words, DamagedFade, testing::ValuesIn(kDamages),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(FadeTiming, WhatCameBeforeTheStartMarkerIsNotPartOfTheFade) {
    const FadeExpectation fade;
    auto events = Recording(fade);
    // Start-up sends the drum-kit selection too, long before the fade.
    const std::vector<WireEvent> startUp(events.begin(), events.begin() + 3);
    for (auto& event : events) event.microseconds += 500'000;
    events.insert(events.begin(), startUp.begin(), startUp.end());
    const FadeTiming timing = AnalyseFade(events, fade);
    EXPECT_TRUE(timing.WordsIntact());
    EXPECT_DOUBLE_EQ(timing.totalMs, 6300);
}

TEST(FadeTiming, OneLateTickShowsInItsIntervalAndTheNextButNotInTheTotal) {
    const FadeExpectation fade;
    const FadeTiming timing =
        AnalyseFade(Recording(fade, [](int tick) { return tick == 64 ? 3000 : 0; }), fade);
    EXPECT_DOUBLE_EQ(timing.medianDeviationMs, 0);
    EXPECT_DOUBLE_EQ(timing.maxAbsDeviationMs, 3);
    // Two of 126 intervals are off by 3 ms: the 99th percentile is one of them.
    EXPECT_DOUBLE_EQ(timing.p99AbsDeviationMs, 3);
    EXPECT_DOUBLE_EQ(timing.totalDeviationPercent, 0);
}

TEST(FadeTiming, ASlowTimerShowsAsDriftOfTheWholeFade) {
    const FadeExpectation fade{150, 127, kVendorKorg, 0, 1, 1};
    // Every tick 0.3 ms late on the one before: the fade ends 37.8 ms late.
    const FadeTiming timing =
        AnalyseFade(Recording(fade, [](int tick) { return tick * 300; }), fade);
    EXPECT_NEAR(timing.medianDeviationMs, 0.3, 1e-9);
    EXPECT_NEAR(timing.totalMs, 18900 + 37.8, 1e-9);
    EXPECT_NEAR(timing.totalDeviationPercent, 0.2, 1e-9);
}

TEST(FadeTiming, TheIntervalsCountFromTheFirstTick) {
    const FadeExpectation fade;
    // Every tick leaves 31 ms after the marker would have it: the latency of
    // words due at a tick, which the marker's words do not wait.
    const FadeTiming timing = AnalyseFade(Recording(fade, [](int) { return 31'000; }), fade);
    EXPECT_DOUBLE_EQ(timing.maxAbsDeviationMs, 0);
    EXPECT_DOUBLE_EQ(timing.totalMs, 6300);
    EXPECT_EQ(timing.deviationsMs.size(), 126u);
}

TEST(FadeTiming, IntervalsOffAtTimeTheServerLostAreToldApart) {
    const FadeExpectation fade;
    // Tick 20 left 5 ms late, at the first cycle after the server lost
    // time; tick 90 2 ms late with the server on time.
    const FadeTiming timing = AnalyseFade(
        Recording(fade, [](int tick) { return tick == 20   ? 5000
                                              : tick == 90 ? 2000
                                                           : 0; }), fade);
    const double lost = kStart + 20 * 50'000.0 + 5000;
    const IntervalsOff off = CountIntervalsOff(timing, {lost}, 1.0);
    EXPECT_EQ(off.count, 4);
    EXPECT_EQ(off.atLostTime, 2);
    EXPECT_DOUBLE_EQ(off.worstElsewhereMs, 2);
}

TEST(FadeTiming, AFadeDownAndAnotherControllerAreExpectedAsConfigured) {
    const FadeExpectation down{50, 20, kVendorYamaha, 7, 127, -1};
    EXPECT_TRUE(AnalyseFade(Recording(down), down).WordsIntact());
    FadeExpectation up = down;
    up.valueStep = 1;
    EXPECT_EQ(AnalyseFade(Recording(down), up).ticksComplete, 1);
}

TEST(FadeTiming, ASplitTickIsMeasuredFromFirstToLastWord) {
    const FadeExpectation fade;
    auto events = Recording(fade);
    for (int word = 9; word <= 16; ++word) events[At(10, word)].microseconds += 667;
    const FadeTiming timing = AnalyseFade(events, fade);
    EXPECT_TRUE(timing.WordsIntact());
    EXPECT_DOUBLE_EQ(timing.maxTickSpreadMs, 0.667);
    EXPECT_DOUBLE_EQ(timing.maxAbsDeviationMs, 0);
}

TEST(FadeTiming, SeveralFadesPoolTheirIntervalsAndKeepTheWorstLength) {
    const FadeExpectation fade;
    const FadeTiming onTime = AnalyseFade(Recording(fade), fade);
    const FadeTiming slow = AnalyseFade(Recording(fade, [](int tick) { return tick * 100; }), fade);
    auto broken = Recording(fade, [](int tick) { return tick == 100 ? 4000 : 0; });
    broken.erase(broken.begin() + std::ptrdiff_t(At(7, 2)));
    const FadeTiming late = AnalyseFade(broken, fade);

    const FadeTiming all = CombineFades({onTime, slow, late});
    EXPECT_EQ(all.fades, 3);
    EXPECT_EQ(all.ticksExpected, 381);
    EXPECT_EQ(all.ticksComplete, 380);
    EXPECT_FALSE(all.WordsIntact());
    EXPECT_EQ(all.deviationsMs.size(), 378u);
    // 126 intervals 0.1 ms long, two 4 ms off, the rest on time.
    EXPECT_DOUBLE_EQ(all.medianDeviationMs, 0);
    EXPECT_DOUBLE_EQ(all.maxAbsDeviationMs, 4);
    EXPECT_NEAR(all.p99AbsDeviationMs, 0.1, 1e-9);
    EXPECT_NEAR(all.totalDeviationPercent, slow.totalDeviationPercent, 1e-12);
    EXPECT_TRUE(CombineFades({onTime, onTime}).WordsIntact());
}

TEST(Recording, ReadsTimesAndBytes) {
    std::istringstream in("1000 99 2A 64\n\n1667 C9 00\n");
    const auto events = ParseRecording(in);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].microseconds, 1000u);
    EXPECT_EQ(WordOf(events[0].bytes), HiHatTick());
    EXPECT_EQ(events[1].bytes, (std::vector<std::uint8_t>{0xC9, 0x00}));
}

TEST(Recording, RejectsWhatItCannotRead) {
    for (const char* text :
         {"99 2A\n", "1000\n", "1000 99 2A zz\n", "1000 100 2A\n", "1000 99 AA 64\n"}) {
        std::istringstream in(text);
        EXPECT_THROW(ParseRecording(in), std::runtime_error) << text;
    }
}

TEST(Recording, LongMessagesHaveNoWord) {
    EXPECT_FALSE(WordOf({}).has_value());
    EXPECT_FALSE(WordOf({0xF0, 1, 2, 0xF7}).has_value());
    EXPECT_EQ(WordOf({0xB0, 7, 100}), ChannelVolumeMessage(1, 7, 27));
}

TEST(Percentile, TakesTheNearestRank) {
    const std::vector<double> hundred = [] {
        std::vector<double> values;
        for (int i = 100; i >= 1; --i) values.push_back(i);
        return values;
    }();
    EXPECT_DOUBLE_EQ(Percentile(hundred, 0.99), 99);
    EXPECT_DOUBLE_EQ(Percentile(hundred, 0.5), 50);
    EXPECT_DOUBLE_EQ(Percentile(hundred, 1.0), 100);
    EXPECT_DOUBLE_EQ(Percentile({7}, 0.99), 7);
    EXPECT_DOUBLE_EQ(Percentile({}, 0.99), 0);
}

}  // namespace
}  // namespace faderwell::bench
