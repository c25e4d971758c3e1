// Measures one recorded fade against what it should have been and prints the
// figures as NAME.key=value lines for the bench's table.
//
//   fade_report NAME RECORDING INTERVAL_MS [TICKS]
//
// Exits 1 when the recording cannot be read or holds no timed fade.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

#include "bench/FadeTiming.h"

int main(int argc, char** argv) {
    using namespace faderwell::bench;
    if (argc < 4 || argc > 5) {
        std::fprintf(stderr, "usage: %s NAME RECORDING INTERVAL_MS [TICKS]\n", argv[0]);
        return 2;
    }
    const std::string name = argv[1];
    FadeExpectation expected;
    expected.intervalMilliseconds = std::atoi(argv[3]);
    if (argc == 5)
        expected.ticks = std::atoi(argv[4]);

    std::ifstream in(argv[2]);
    if (!in) {
        std::fprintf(stderr, "cannot open %s\n", argv[2]);
        return 1;
    }
    FadeTiming timing;
    try {
        timing = AnalyseFade(ParseRecording(in), expected);
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "%s: %s\n", argv[2], error.what());
        return 1;
    }
    const char* n = name.c_str();
    std::printf("%s.interval_ms=%d\n", n, expected.intervalMilliseconds);
    std::printf("%s.ticks=%d/%d\n", n, timing.ticksComplete, timing.ticksExpected);
    std::printf("%s.ticks_seen=%d\n", n, timing.ticksSeen);
    std::printf("%s.stray_words=%d\n", n, timing.strayWords);
    std::printf("%s.words_intact=%s\n", n, timing.WordsIntact() ? "yes" : "no");
    std::printf("%s.median_dev_ms=%+.3f\n", n, timing.medianDeviationMs);
    std::printf("%s.p99_dev_ms=%.3f\n", n, timing.p99AbsDeviationMs);
    std::printf("%s.max_dev_ms=%.3f\n", n, timing.maxAbsDeviationMs);
    std::printf("%s.total_ms=%.1f\n", n, timing.totalMs);
    std::printf("%s.nominal_ms=%.1f\n", n, timing.nominalTotalMs);
    std::printf("%s.total_dev_pct=%+.3f\n", n, timing.totalDeviationPercent);
    std::printf("%s.tick_spread_ms=%.3f\n", n, timing.maxTickSpreadMs);
    if (!timing.startMarkerSeen || timing.ticksSeen == 0) {
        std::fprintf(stderr, "%s: the recording holds no timed fade\n", argv[2]);
        return 1;
    }
    return 0;
}
