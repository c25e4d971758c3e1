#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "core/Messages.h"

namespace faderwell::bench {

/// One MIDI message as the JACK receiver took it off the wire: the bytes and
/// the JACK time of the frame it arrived in, in microseconds.
struct WireEvent {
    std::uint64_t microseconds{0};
    std::vector<std::uint8_t> bytes;
};

/// Reads the receiver's recording: one line per message, the time in
/// microseconds and then the message's bytes in hexadecimal, status byte
/// first ("1234567 99 2A 64").
/// Throws std::runtime_error naming the line that cannot be read.
std::vector<WireEvent> ParseRecording(std::istream& in);

/// The word a message's bytes stand for, status byte in the low byte; a
/// message longer than a short message yields no word.
std::optional<ShortMessage> WordOf(const std::vector<std::uint8_t>& bytes);

/// What a whole fade from the start click to its last tick sends: the
/// drum-kit selection of the DRUM click that precedes the start (it marks
/// the moment the fade was started), then per tick the hi-hat and one Control
/// Change per channel, 1 to 16, all with the tick's value.
struct FadeExpectation {
    int intervalMilliseconds{50};
    int ticks{127};
    std::int32_t vendor{0};
    int controller{0};
    int firstValue{1};  // the value the first tick sends
    int valueStep{1};   // +1 for a fade up, -1 for a fade down
};

/// The figures of one fade on the wire.
struct FadeTiming {
    int ticksExpected{0};
    int ticksSeen{0};      // hi-hat notes that arrived
    int ticksComplete{0};  // ticks whose seventeen words came whole and in order
    int strayWords{0};     // words inside the fade that belong to no tick
    // Words that arrived again: the fade sends each channel's value once, so
    // a Control Change whose bytes came before came twice, and a tick whose
    // Control Changes all came before came twice with its hi-hat.
    int doubledWords{0};
    bool startMarkerSeen{false};
    // Deviation of each interval between two ticks from the nominal one, in
    // milliseconds.
    double medianDeviationMs{0};
    double p99AbsDeviationMs{0};
    double maxAbsDeviationMs{0};
    // First tick to last against (ticks - 1) x interval.
    double totalMs{0};
    double nominalTotalMs{0};
    double totalDeviationPercent{0};
    // Longest time between a tick's first and last word.
    double maxTickSpreadMs{0};
    // Every interval's deviation, in tick order, and where the intervals
    // lie: each tick's time (µs).
    std::vector<double> deviationsMs;
    std::vector<std::uint64_t> boundsMicroseconds;
    int fades{1};

    /// Every tick came, whole and in order, and nothing else did.
    bool WordsIntact() const {
        return startMarkerSeen && ticksSeen == ticksExpected && ticksComplete == ticksExpected &&
               strayWords == 0;
    }
};

/// Splits the recording into ticks at each hi-hat and measures them against
/// `expected`. The start marker is the drum-kit selection right before the
/// first tick; anything before the marker is not part of the fade. The timing figures need the
/// start marker and at least one tick.
FadeTiming AnalyseFade(const std::vector<WireEvent>& events, const FadeExpectation& expected);

/// Several fades of one kind as one set of figures: the tick and word counts
/// add up, the interval deviations are pooled, and the whole-fade figures are
/// those of the fade furthest from its nominal length.
FadeTiming CombineFades(const std::vector<FadeTiming>& fades);

/// The intervals of one fade that deviate by more than `limitMs`, and how
/// many of those lie at a cycle the server started off its own schedule
/// (`offCycles`, µs, the times the receiver noted): time the server lost.
struct IntervalsOff {
    int count{0};
    int atLostTime{0};
    double worstElsewhereMs{0};  // the largest |deviation| not at lost time
};
IntervalsOff CountIntervalsOff(const FadeTiming& fade, const std::vector<double>& offCycles,
                               double limitMs);

/// Nearest-rank percentile (0 < fraction <= 1) of `values`; 0 when empty.
double Percentile(std::vector<double> values, double fraction);

}  // namespace faderwell::bench
