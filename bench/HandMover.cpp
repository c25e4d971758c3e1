// Sends hand moves through the program's own MIDI backend, with no fade
// running: words with no due moment, as a fader moved by the user sends
// them. Prints, for each, the moment it was handed to the backend, so that
// the bench can time it to the frame it arrived at.
//
//   hand_mover --device NAME [--count N] [--route native|jack]
//
// --route picks the output as bench/MidiRoute.h says.
// One line per word: "<microseconds> <hex bytes>", the moment on JACK's
// own clock (jackd's is the raw monotonic clock, PipeWire's the monotonic
// one), which the recorder times arrivals by. The moves come 7 to 29 ms apart, so
// that they fall at every phase of the server's period. Exits 1 when the
// output cannot be opened.
#include <jack/jack.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench/MidiRoute.h"
#include "core/Messages.h"

namespace {

constexpr int kDefaultCount = 300;
constexpr int kShortestGapMs = 7;
constexpr int kGapSpreadMs = 23;
constexpr auto kSettle = std::chrono::milliseconds(300);  // the connection in the graph
constexpr auto kDrain = std::chrono::milliseconds(200);   // the last word through the server

}  // namespace

int main(int argc, char** argv) {
    std::string device;
    int count = kDefaultCount;
    std::string route;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--device")
            device = argv[i + 1];
        else if (option == "--count")
            count = std::atoi(argv[i + 1]);
        else if (option == "--route")
            route = argv[i + 1];
    }
    const auto midi = faderwell::bench::MakeRoutedMidiOutService(route);
    if (device.empty() || count < 1 || midi == nullptr) {
        std::fprintf(stderr, "usage: %s --device NAME [--count N] [--route native|jack]\n",
                     argv[0]);
        return 2;
    }
    unsigned found = midi->DeviceCount();
    for (unsigned d = 0; d < midi->DeviceCount(); ++d) {
        if (midi->DeviceName(d) == device)
            found = d;
    }
    if (found == midi->DeviceCount() || midi->OpenDevice(found) != 0) {
        std::fprintf(stderr, "cannot open the MIDI output %s\n", device.c_str());
        return 1;
    }
    std::this_thread::sleep_for(kSettle);
    std::uint32_t gaps = 12345;  // a fixed sequence, so that runs compare
    for (int i = 0; i < count; ++i) {
        gaps = gaps * 1103515245u + 12345u;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(kShortestGapMs + (gaps >> 16) % kGapSpreadMs));
        const auto value = static_cast<std::uint8_t>(i % 128);
        const faderwell::ShortMessage word = faderwell::PackShortMessage(0xB0, 7, value);
        const jack_time_t sent = jack_get_time();
        midi->Send(word);
        std::printf("%lld B0 07 %02X\n", static_cast<long long>(sent), value);
    }
    std::this_thread::sleep_for(kDrain);
    midi->Close();
    return 0;
}
