// In-process cost of the mixer's hot paths, into a sink that does nothing:
// what the program itself spends, without the MIDI backend or the window.
#include <benchmark/benchmark.h>

#include "core/Defaults.h"
#include "core/Mixer.h"

namespace faderwell {
namespace {

class NullSink final : public MidiSink {
public:
    void SendShortMessage(ShortMessage word) override {
        benchmark::DoNotOptimize(word);
        ++sent;
    }
    std::int64_t sent{0};
};

/// Ticks only when the benchmark calls Timer1Timer.
class IdleTimer final : public PeriodicTimer {
public:
    bool SetEnabled(bool enabled) override {
        enabled_ = enabled;
        return true;
    }
    bool Enabled() const override { return enabled_; }
    void SetInterval(int milliseconds) override { interval_ = milliseconds; }
    int Interval() const override { return interval_; }

private:
    bool enabled_{false};
    int interval_{Defaults::kFadeInterval};
};

struct Bench {
    NullSink sink;
    IdleTimer timer;
    ProcessValues values{Defaults::Values()};
    Mixer mixer{sink, timer, values};
};

// One master change that moves all sixteen linked channels: the master swings
// between the two ends, so every channel really moves and sends each time.
void MasterChangeSixteenSends(benchmark::State& state) {
    Bench bench;
    int position = Fader::kMin;
    for (auto _ : state) {
        position = position == Fader::kMin ? Fader::kMax : Fader::kMin;
        bench.mixer.MVol.SetPosition(position);
    }
    if (bench.sink.sent != state.iterations() * Mixer::kChannels)
        state.SkipWithError("a master change did not send sixteen words");
    state.SetItemsProcessed(bench.sink.sent);
}
BENCHMARK(MasterChangeSixteenSends);

// One fade tick with the hi-hat: a Note On and sixteen Control Changes. A
// new fade is started whenever the last one has ended.
void FadeTick(benchmark::State& state) {
    Bench bench;
    bench.mixer.DrumSw.SetTicked(true);
    const std::int64_t before = bench.sink.sent;
    for (auto _ : state) {
        if (!bench.timer.Enabled())
            bench.mixer.StartBClick();
        bench.mixer.Timer1Timer();
    }
    state.SetItemsProcessed(bench.sink.sent - before);
}
BENCHMARK(FadeTick);

void ComposeChannelVolume(benchmark::State& state) {
    constexpr int kVolumeController = 7;
    int position = 0;
    for (auto _ : state) {
        position = (position + 1) & midi::kDataMax;
        benchmark::DoNotOptimize(
            ChannelVolumeMessage(position % midi::kChannelCount + 1, kVolumeController, position));
    }
}
BENCHMARK(ComposeChannelVolume);

void ComposeDrumKitSelect(benchmark::State& state) {
    std::int32_t vendor = kVendorKorg;
    for (auto _ : state) {
        vendor = (vendor + 1) % 4;  // the three vendors and one unknown code
        benchmark::DoNotOptimize(DrumKitSelect(vendor));
    }
}
BENCHMARK(ComposeDrumKitSelect);

void ComposeHiHatTick(benchmark::State& state) {
    for (auto _ : state) {
        ShortMessage word = HiHatTick();
        benchmark::DoNotOptimize(word);
    }
}
BENCHMARK(ComposeHiHatTick);

}  // namespace
}  // namespace faderwell

BENCHMARK_MAIN();
