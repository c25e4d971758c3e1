// A JACK MIDI client that takes each message off the wire with the time of
// the frame it arrived at. It registers one MIDI input "<client>:in", prints
// "ready" once the port exists, and on SIGTERM or SIGINT writes one line per
// message ("<microseconds> <hex bytes>") to the file it was given, and to
// "<file>.off" the time of each cycle the server started off its own
// schedule (time the server itself lost: a stall, a new schedule).
//
//   jack_midi_recorder <client name> <output file>
//
// The time of a message is when its frame was due on the server's schedule
// (see bench/WireClock.h): the time a synthesizer plays it. Not the moment the
// callback happened to run, which the scheduler delays by up to milliseconds
// on a busy machine; not jack_frames_to_time either, which maps frames
// through jackd's delay-locked loop, and with the dummy driver that wanders
// by most of a period and, after an overrun, by milliseconds (backwards, too,
// when the server runs without real-time scheduling).
//
// The process callback only copies into memory taken before activation: it
// allocates nothing and takes no lock, so the recorder adds no jitter of its
// own to the times it records.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/WireClock.h"

namespace {

using faderwell::bench::CycleSeen;

constexpr std::size_t kCapacity = 1 << 16;  // a fade sends 2159 messages
// A slow fade at a 16-frame period: 19 s of 3,000 cycles a second.
constexpr std::size_t kCycleCapacity = 1 << 20;
constexpr std::size_t kKeptBytes = 3;  // the program sends short messages only

struct Record {
    std::size_t cycle{0};
    jack_nframes_t offset{0};
    std::uint8_t size{0};  // the message's real size; only kKeptBytes are kept
    std::array<std::uint8_t, kKeptBytes> bytes{};
};

/// A cycle that starts further than this from where the one before ended,
/// by the server's own account, is off the server's schedule.
constexpr double kOffScheduleMicroseconds = 250.0;

struct Recorder {
    jack_client_t* client{nullptr};
    jack_port_t* port{nullptr};
    std::vector<Record> records = std::vector<Record>(kCapacity);
    std::vector<CycleSeen> cycles = std::vector<CycleSeen>(kCycleCapacity);
    std::vector<std::uint8_t> off = std::vector<std::uint8_t>(kCycleCapacity);
    // The process thread's own: the frames run so far, and where the next
    // cycle should start by the server's account (µs).
    jack_nframes_t frames{0};
    double nextStart{-1};
    std::atomic<std::size_t> count{0};
    std::atomic<std::size_t> cycleCount{0};
    std::atomic<std::size_t> dropped{0};
    jack_nframes_t rate{48000};
};

int Process(jack_nframes_t frames, void* argument) {
    auto& recorder = *static_cast<Recorder*>(argument);
    const jack_time_t callbackStart = jack_get_time();
    const std::size_t cycle = recorder.cycleCount.load(std::memory_order_relaxed);
    void* buffer = jack_port_get_buffer(recorder.port, frames);
    const jack_nframes_t events = jack_midi_get_event_count(buffer);
    if (cycle == kCycleCapacity) {
        recorder.dropped.fetch_add(events, std::memory_order_relaxed);
        return 0;
    }
    // The frames the server ran, counted here: PipeWire's frame time moves
    // by the new period, not the old one, at a period change.
    recorder.cycles[cycle] = {callbackStart, recorder.frames};
    recorder.frames += frames;
    const double started = static_cast<double>(callbackStart) -
                           jack_frames_since_cycle_start(recorder.client) * 1e6 / recorder.rate;
    recorder.off[cycle] = recorder.nextStart >= 0 &&
                          std::abs(started - recorder.nextStart) > kOffScheduleMicroseconds;
    recorder.nextStart = started + frames * 1e6 / recorder.rate;
    recorder.cycleCount.store(cycle + 1, std::memory_order_release);
    std::size_t count = recorder.count.load(std::memory_order_relaxed);
    for (jack_nframes_t i = 0; i < events; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0)
            continue;
        if (count == kCapacity) {
            recorder.dropped.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        Record& record = recorder.records[count++];
        record.cycle = cycle;
        record.offset = event.time;
        record.size = static_cast<std::uint8_t>(event.size > 255 ? 255 : event.size);
        for (std::size_t b = 0; b < kKeptBytes && b < event.size; ++b)
            record.bytes[b] = event.buffer[b];
    }
    recorder.count.store(count, std::memory_order_release);
    return 0;
}

bool WriteRecords(const Recorder& recorder, const char* path) {
    std::FILE* out = std::fopen(path, "w");
    if (out == nullptr)
        return false;
    const std::size_t count = recorder.count.load(std::memory_order_acquire);
    std::vector<CycleSeen> cycles(
        recorder.cycles.begin(),
        recorder.cycles.begin() +
            static_cast<std::ptrdiff_t>(recorder.cycleCount.load(std::memory_order_acquire)));
    const std::vector<double> due = faderwell::bench::DueTimes(cycles, recorder.rate);
    for (std::size_t i = 0; i < count; ++i) {
        const Record& record = recorder.records[i];
        const double at = due[record.cycle] + record.offset * 1e6 / recorder.rate;
        std::fprintf(out, "%.0f", at);
        for (std::size_t b = 0; b < kKeptBytes && b < record.size; ++b)
            std::fprintf(out, " %02X", record.bytes[b]);
        std::fputc('\n', out);
    }
    std::FILE* offOut = std::fopen((std::string(path) + ".off").c_str(), "w");
    if (offOut == nullptr)
        return false;
    for (std::size_t c = 0; c < cycles.size(); ++c) {
        if (recorder.off[c])
            std::fprintf(offOut, "%.0f\n", due[c]);
    }
    return std::fclose(offOut) == 0 && std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <client name> <output file>\n", argv[0]);
        return 2;
    }
    // Blocked before JACK starts its threads, so that only sigwait sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Recorder recorder;
    jack_status_t status{};
    recorder.client = jack_client_open(argv[1], JackNoStartServer, &status);
    if (recorder.client == nullptr) {
        std::fprintf(stderr, "no JACK server to record from (status 0x%x)\n", unsigned(status));
        return 1;
    }
    recorder.port =
        jack_port_register(recorder.client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    recorder.rate = jack_get_sample_rate(recorder.client);
    if (recorder.port == nullptr ||
        jack_set_process_callback(recorder.client, Process, &recorder) ||
        jack_activate(recorder.client)) {
        std::fprintf(stderr, "cannot register the JACK MIDI input\n");
        jack_client_close(recorder.client);
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    jack_deactivate(recorder.client);
    jack_client_close(recorder.client);

    if (!WriteRecords(recorder, argv[2])) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    if (const std::size_t dropped = recorder.dropped.load(); dropped > 0) {
        std::fprintf(stderr, "%zu messages did not fit the recording\n", dropped);
        return 1;
    }
    return 0;
}
