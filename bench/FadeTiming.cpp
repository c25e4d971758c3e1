#include "bench/FadeTiming.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>
#include <stdexcept>

namespace faderwell::bench {

std::vector<WireEvent> ParseRecording(std::istream& in) {
    std::vector<WireEvent> events;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty())
            continue;
        std::istringstream fields(line);
        WireEvent event;
        if (!(fields >> event.microseconds))
            throw std::runtime_error("recording line " + std::to_string(number) + ": no time");
        unsigned byte = 0;
        while (fields >> std::hex >> byte) {
            if (byte > 0xFF)
                throw std::runtime_error("recording line " + std::to_string(number) +
                                         ": not a byte");
            event.bytes.push_back(static_cast<std::uint8_t>(byte));
        }
        // A message is a status byte and then data bytes.
        const bool shaped = !event.bytes.empty() && event.bytes.front() >= 0x80 &&
                            std::all_of(event.bytes.begin() + 1, event.bytes.end(),
                                        [](std::uint8_t data) { return data < 0x80; });
        if (!fields.eof() || !shaped)
            throw std::runtime_error("recording line " + std::to_string(number) +
                                     ": bad message bytes");
        events.push_back(std::move(event));
    }
    return events;
}

std::optional<ShortMessage> WordOf(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty() || bytes.size() > 3)
        return std::nullopt;
    ShortMessage word = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) word |= ShortMessage{bytes[i]} << (8 * i);
    return word;
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

namespace {

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Milliseconds(std::uint64_t from, std::uint64_t to) {
    return (static_cast<double>(to) - static_cast<double>(from)) / 1000.0;
}

/// The seventeen words tick `index` (0-based) of the fade must send.
std::vector<ShortMessage> TickWords(const FadeExpectation& expected, int index) {
    const int value = expected.firstValue + index * expected.valueStep;
    std::vector<ShortMessage> words{HiHatTick()};
    for (int channel = 1; channel <= midi::kChannelCount; ++channel) {
        // ChannelVolumeMessage takes the fader position; the value is 127 - position.
        words.push_back(ChannelVolumeMessage(channel, expected.controller, midi::kDataMax - value));
    }
    return words;
}

void SummariseDeviations(FadeTiming& timing) {
    if (timing.deviationsMs.empty())
        return;
    std::vector<double> magnitudes;
    for (const double deviation : timing.deviationsMs) magnitudes.push_back(std::abs(deviation));
    timing.medianDeviationMs = Median(timing.deviationsMs);
    timing.p99AbsDeviationMs = Percentile(magnitudes, 0.99);
    timing.maxAbsDeviationMs = *std::max_element(magnitudes.begin(), magnitudes.end());
}

struct Tick {
    std::uint64_t start{0};
    std::uint64_t end{0};
    std::vector<ShortMessage> words;
};

}  // namespace

FadeTiming AnalyseFade(const std::vector<WireEvent>& events, const FadeExpectation& expected) {
    FadeTiming result;
    result.ticksExpected = expected.ticks;
    result.nominalTotalMs = double(expected.ticks - 1) * expected.intervalMilliseconds;

    // The start marker is what comes right before the first hi-hat; what
    // came before it (the program's start-up, say) is not part of the fade.
    const auto marker = DrumKitSelect(expected.vendor);
    std::vector<const WireEvent*> lead;
    std::vector<Tick> ticks;
    for (const WireEvent& event : events) {
        const auto word = WordOf(event.bytes);
        if (word == HiHatTick()) {
            ticks.push_back({event.microseconds, event.microseconds, {}});
        } else if (ticks.empty()) {
            lead.push_back(&event);
            continue;
        }
        ticks.back().words.push_back(word.value_or(0));
        ticks.back().end = event.microseconds;
    }
    if (lead.size() >= marker.size()) {
        const auto tail = lead.end() - std::ptrdiff_t(marker.size());
        result.startMarkerSeen = std::equal(
            tail, lead.end(), marker.begin(),
            [](const WireEvent* event, ShortMessage word) { return WordOf(event->bytes) == word; });
    }
    if (!result.startMarkerSeen)
        result.strayWords += static_cast<int>(lead.size());

    result.ticksSeen = static_cast<int>(ticks.size());
    std::set<ShortMessage> seen;
    for (const Tick& tick : ticks) {
        bool allAgain = tick.words.size() > 1;
        for (std::size_t i = 1; i < tick.words.size(); ++i) {
            const bool again = !seen.insert(tick.words[i]).second;
            result.doubledWords += again ? 1 : 0;
            allAgain = allAgain && again;
        }
        result.doubledWords += allAgain ? 1 : 0;
    }
    for (int index = 0; index < result.ticksSeen; ++index) {
        const Tick& tick = ticks[static_cast<std::size_t>(index)];
        const auto want = TickWords(expected, index);
        if (index < expected.ticks && tick.words == want) {
            ++result.ticksComplete;
        } else if (tick.words.size() > want.size()) {
            result.strayWords += static_cast<int>(tick.words.size() - want.size());
        }
        result.maxTickSpreadMs =
            std::max(result.maxTickSpreadMs, Milliseconds(tick.start, tick.end));
    }

    if (!result.startMarkerSeen || ticks.empty())
        return result;
    // The intervals count from the first tick: the marker's words are sent
    // with no due moment and leave at once, the ticks' one fixed latency
    // after they fell due.
    result.boundsMicroseconds.push_back(ticks.front().start);
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        result.boundsMicroseconds.push_back(ticks[i].start);
        result.deviationsMs.push_back(Milliseconds(ticks[i - 1].start, ticks[i].start) -
                                      expected.intervalMilliseconds);
    }
    SummariseDeviations(result);
    result.totalMs = Milliseconds(ticks.front().start, ticks.back().start);
    result.totalDeviationPercent =
        100.0 * (result.totalMs - result.nominalTotalMs) / result.nominalTotalMs;
    return result;
}

IntervalsOff CountIntervalsOff(const FadeTiming& fade, const std::vector<double>& offCycles,
                               double limitMs) {
    // A cycle off the schedule moves the ticks around it: those due in the
    // time lost leave together at the first cycle after it.
    constexpr double kMarginMicroseconds = 1000;
    IntervalsOff result;
    for (std::size_t i = 0; i < fade.deviationsMs.size(); ++i) {
        const double magnitude = std::abs(fade.deviationsMs[i]);
        if (magnitude <= limitMs)
            continue;
        ++result.count;
        const auto from = static_cast<double>(fade.boundsMicroseconds[i]);
        const auto to = static_cast<double>(fade.boundsMicroseconds[i + 1]);
        const bool lost = std::any_of(offCycles.begin(), offCycles.end(), [&](double off) {
            return off > from - kMarginMicroseconds && off <= to + kMarginMicroseconds;
        });
        if (lost)
            ++result.atLostTime;
        else
            result.worstElsewhereMs = std::max(result.worstElsewhereMs, magnitude);
    }
    return result;
}

FadeTiming CombineFades(const std::vector<FadeTiming>& fades) {
    FadeTiming combined;
    combined.fades = 0;
    combined.startMarkerSeen = !fades.empty();
    const FadeTiming* furthest = nullptr;
    for (const FadeTiming& fade : fades) {
        combined.fades += fade.fades;
        combined.ticksExpected += fade.ticksExpected;
        combined.ticksSeen += fade.ticksSeen;
        combined.ticksComplete += fade.ticksComplete;
        combined.strayWords += fade.strayWords;
        combined.doubledWords += fade.doubledWords;
        combined.startMarkerSeen = combined.startMarkerSeen && fade.startMarkerSeen;
        combined.maxTickSpreadMs = std::max(combined.maxTickSpreadMs, fade.maxTickSpreadMs);
        combined.deviationsMs.insert(combined.deviationsMs.end(), fade.deviationsMs.begin(),
                                     fade.deviationsMs.end());
        if (furthest == nullptr ||
            std::abs(fade.totalDeviationPercent) > std::abs(furthest->totalDeviationPercent))
            furthest = &fade;
    }
    SummariseDeviations(combined);
    if (furthest != nullptr) {
        combined.totalMs = furthest->totalMs;
        combined.nominalTotalMs = furthest->nominalTotalMs;
        combined.totalDeviationPercent = furthest->totalDeviationPercent;
    }
    return combined;
}

}  // namespace faderwell::bench
