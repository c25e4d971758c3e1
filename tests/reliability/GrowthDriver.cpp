// Runs one of the program's steady loops many times and compares the heap in
// use after a warm-up with the heap in use at the end: a loop that leaks or
// keeps growing a container shows up as growth. ./test runs it natively; the
// long reliability command runs it under valgrind (memcheck and massif).
//
//   faderwell_growth fade-ticks N   N fade timer ticks, fades restarted as they end
//   faderwell_growth reopens N      N output re-opens through the output port
//   faderwell_growth platform-reopens N
//                                   the same over the platform's MIDI service (on
//                                   Linux ALSA and JACK: run it with a JACK server up)

#include <malloc.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string_view>

#include "../core/Doubles.h"
#include "core/Defaults.h"
#include "core/Mixer.h"
#include "midi/MidiOutPort.h"
#include "midi/PlatformMidiOutService.h"

namespace {

using namespace faderwell;

/// Counts the words instead of keeping them, so the sink itself never grows.
class CountingSink final : public MidiSink {
public:
    void SendShortMessage(ShortMessage) override { ++sent; }
    long sent{0};
};

/// A MIDI service with two devices that opens everything and keeps nothing.
class QuietService final : public MidiOutService {
public:
    unsigned DeviceCount() override { return 2; }
    std::string DeviceName(unsigned device) override {
        return device == 0 ? "Synth A" : "Module B";
    }
    unsigned OpenMapper() override { return Open(); }
    unsigned OpenDevice(unsigned) override { return Open(); }
    void Send(ShortMessage) override { sent += open ? 1 : 0; }
    void Reset() override {}
    void Close() override { open = false; }

    long opens{0};
    long sent{0};
    bool open{false};

private:
    unsigned Open() {
        ++opens;
        open = true;
        return 0;
    }
};

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

/// Runs `step` `count` times; the heap is read after the first tenth. More
/// growth than `allowedPerStep` bytes a step on average fails.
int Measure(const char* what, long count, const std::function<void(long)>& step,
            double allowedPerStep = 0) {
    const long warmUp = count / 10;
    for (long i = 0; i < warmUp; ++i) step(i);
    const std::size_t before = HeapInUse();
    for (long i = warmUp; i < count; ++i) step(i);
    const std::size_t after = HeapInUse();
    if (before == 0) {
        // A sanitizer's allocator answers nothing here; its own leak check stands in.
        std::printf("%s %ld: heap figures unavailable with this allocator\n", what, count);
        return 0;
    }
    const long growth = static_cast<long>(after) - static_cast<long>(before);
    std::printf("%s %ld: heap in use %zu bytes after %ld, %zu bytes after %ld: growth %ld\n", what,
                count, before, warmUp, after, count, growth);
    const double allowed = allowedPerStep * static_cast<double>(count - warmUp);
    return static_cast<double>(growth) > allowed ? 1 : 0;
}

int FadeTicks(long count) {
    CountingSink sink;
    test::ManualTimer timer;
    ProcessValues values{1, 5, 0};
    Mixer mixer(sink, timer, values);
    mixer.DrumSw.Toggle();  // the hi-hat tick too
    const int result = Measure("fade-ticks", count, [&](long) {
        if (!mixer.Fading())
            mixer.StartBClick();
        mixer.Timer1Timer();
    });
    std::printf("  %ld words sent\n", sink.sent);
    return result;
}

int Reopens(const char* what, MidiOutService& service, long count, double allowedPerStep = 0) {
    ProcessValues values{Defaults::Values()};
    MidiOutPort port(service, values);
    port.BuildOutputList();
    // The mapper, then each device, then none, in turn; one word through each.
    const long entries = 2 + static_cast<long>(port.DeviceCount());
    long failed = 0;
    const int result = Measure(
        what, count,
        [&](long i) {
            failed += port.Pick(static_cast<int>((i + 1) % entries)) != 0 ? 1 : 0;
            port.SendShortMessage(HiHatTick());
        },
        allowedPerStep);
    port.ResetAndClose();
    std::printf("  %ld entries, %ld opens failed\n", entries, failed);
    // An open that fails is no re-open: every one must have worked.
    return failed == 0 ? result : 1;
}

}  // namespace

int main(int argc, char** argv) {
    long count = 0;
    if (argc == 3) {
        const std::string_view text = argv[2];
        std::from_chars(text.data(), text.data() + text.size(), count);
    }
    if (count > 0 && std::strcmp(argv[1], "fade-ticks") == 0)
        return FadeTicks(count);
    if (count > 0 && std::strcmp(argv[1], "reopens") == 0) {
        QuietService service;
        return Reopens("reopens", service, count);
    }
    if (count > 0 && std::strcmp(argv[1], "platform-reopens") == 0) {
        // The MIDI libraries keep a little of their own per client (a few
        // bytes a re-open on average); a client or port of ours left behind
        // would be kilobytes.
        constexpr double kLibraryBytesPerReopen = 64;
        const auto service = MakePlatformMidiOutService();
        return Reopens("platform-reopens", *service, count, kLibraryBytesPerReopen);
    }
    std::fprintf(stderr, "usage: %s fade-ticks|reopens|platform-reopens COUNT\n", argv[0]);
    return 2;
}
