// Measures recorded fades of one kind against what they should have been and
// prints the figures, pooled over the recordings, as NAME.key=value lines
// for the bench's table.
//
//   fade_report NAME INTERVAL_MS RECORDING [RECORDING ...]
//   fade_report --interval STEP
//
// The second form prints the program's tick interval in milliseconds for a
// speed step, so that the scripts take the speed table from the program.
// Exits 1 when a recording cannot be read or holds no timed fade.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/FadeTiming.h"
#include "core/FadeSpeed.h"

namespace {
/// An interval off by more than this is heard as uneven.
constexpr double kIntervalLimitMs = 1.0;
}  // namespace

int main(int argc, char** argv) {
    using namespace faderwell::bench;
    if (argc == 3 && std::string(argv[1]) == "--interval") {
        std::printf("%d\n", faderwell::FadeIntervalForStep(std::atoi(argv[2])));
        return 0;
    }
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: %s NAME INTERVAL_MS RECORDING [RECORDING ...] | --interval STEP\n",
                     argv[0]);
        return 2;
    }
    const std::string name = argv[1];
    FadeExpectation expected;
    expected.intervalMilliseconds = std::atoi(argv[2]);

    std::vector<FadeTiming> fades;
    IntervalsOff off;
    for (int i = 3; i < argc; ++i) {
        std::ifstream in(argv[i]);
        if (!in) {
            std::fprintf(stderr, "cannot open %s\n", argv[i]);
            return 1;
        }
        try {
            fades.push_back(AnalyseFade(ParseRecording(in), expected));
        } catch (const std::runtime_error& error) {
            std::fprintf(stderr, "%s: %s\n", argv[i], error.what());
            return 1;
        }
        if (!fades.back().startMarkerSeen || fades.back().ticksSeen == 0) {
            std::fprintf(stderr, "%s: the recording holds no timed fade\n", argv[i]);
            return 1;
        }
        // The cycles the server started off its schedule, when the
        // receiver noted them.
        std::vector<double> offCycles;
        std::ifstream offIn(std::string(argv[i]) + ".off");
        for (double time = 0; offIn >> time;) offCycles.push_back(time);
        const IntervalsOff each = CountIntervalsOff(fades.back(), offCycles, kIntervalLimitMs);
        off.count += each.count;
        off.atLostTime += each.atLostTime;
        off.worstElsewhereMs = std::max(off.worstElsewhereMs, each.worstElsewhereMs);
    }
    const FadeTiming timing = CombineFades(fades);
    const char* n = name.c_str();
    std::printf("%s.interval_ms=%d\n", n, expected.intervalMilliseconds);
    std::printf("%s.fades=%d\n", n, timing.fades);
    std::printf("%s.ticks=%d/%d\n", n, timing.ticksComplete, timing.ticksExpected);
    std::printf("%s.ticks_seen=%d\n", n, timing.ticksSeen);
    std::printf("%s.stray_words=%d\n", n, timing.strayWords);
    std::printf("%s.doubled_words=%d\n", n, timing.doubledWords);
    std::printf("%s.words_intact=%s\n", n, timing.WordsIntact() ? "yes" : "no");
    std::printf("%s.median_dev_ms=%+.3f\n", n, timing.medianDeviationMs);
    std::printf("%s.p99_dev_ms=%.3f\n", n, timing.p99AbsDeviationMs);
    std::printf("%s.max_dev_ms=%.3f\n", n, timing.maxAbsDeviationMs);
    std::printf("%s.total_ms=%.1f\n", n, timing.totalMs);
    std::printf("%s.nominal_ms=%.1f\n", n, timing.nominalTotalMs);
    std::printf("%s.total_dev_pct=%+.3f\n", n, timing.totalDeviationPercent);
    std::printf("%s.tick_spread_ms=%.3f\n", n, timing.maxTickSpreadMs);
    std::printf("%s.intervals_off=%d\n", n, off.count);
    std::printf("%s.intervals_off_at_lost_time=%d\n", n, off.atLostTime);
    std::printf("%s.intervals_off_elsewhere=%d\n", n, off.count - off.atLostTime);
    std::printf("%s.worst_off_elsewhere_ms=%.3f\n", n, off.worstElsewhereMs);
    return 0;
}
