// A JACK MIDI client that stands as a device in the tests: it registers one
// MIDI input "<client>:in", prints "ready" once the port is there, then one
// line of hexadecimal bytes per message received, and quits when its
// standard input closes (or on SIGTERM).
//
//   faderwell_jack_receiver <client> [frames]
//
// With "frames", each line starts with the frame the message arrived at,
// counted from the receiver's first cycle by the frames the server ran
// ("5120 B9 00 3D"), and a line "off <frame>" marks each cycle that the
// server, by its own account, did not start where the cycle before ended
// (time it lost to a stall or a new schedule): spacing judged in frames
// holds only between such marks.
//
// The process callback only copies the messages into a ring taken before
// activation and wakes the printer: it never waits on the test reading its
// output, so the receiver cannot hold up a synchronous server's cycle.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <semaphore.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "ReceiverPrinter.h"

namespace {

constexpr std::size_t kRingBytes = 1 << 20;  // tens of thousands of messages
constexpr std::size_t kLongestMessage = 255;
constexpr useconds_t kListedPollMicroseconds = 2000;
constexpr int kListedPolls = 15000;  // 30 s: only a hung server takes that long

/// A cycle that starts further than this from where the one before ended
/// is off the server's schedule.
constexpr double kOffScheduleMicroseconds = 250.0;

struct Receiver {
    jack_client_t* client{nullptr};
    jack_port_t* port{nullptr};
    bool frames{false};
    // The process thread's own: frames run so far, where the next cycle
    // should start (µs, by the server's account).
    std::uint64_t frame{0};
    double nextStart{-1};
    jack_ringbuffer_t* ring{nullptr};
    sem_t arrived{};
    std::atomic<unsigned> dropped{0};
};

/// One record in the ring: the size (0 for an off-schedule mark), the
/// frame, then the message's bytes.
bool Put(Receiver& receiver, std::uint8_t size, std::uint64_t frame, const void* bytes) {
    if (jack_ringbuffer_write_space(receiver.ring) < 1u + sizeof frame + size)
        return false;
    jack_ringbuffer_write(receiver.ring, reinterpret_cast<const char*>(&size), 1);
    jack_ringbuffer_write(receiver.ring, reinterpret_cast<const char*>(&frame), sizeof frame);
    jack_ringbuffer_write(receiver.ring, static_cast<const char*>(bytes), size);
    return true;
}

int Process(jack_nframes_t frames, void* argument) {
    auto& receiver = *static_cast<Receiver*>(argument);
    const jack_nframes_t rate = jack_get_sample_rate(receiver.client);
    const double started =
        static_cast<double>(jack_get_time()) -
        jack_frames_since_cycle_start(receiver.client) * 1e6 / (rate == 0 ? 1 : rate);
    if (receiver.nextStart >= 0 &&
        std::abs(started - receiver.nextStart) > kOffScheduleMicroseconds &&
        !Put(receiver, 0, receiver.frame, nullptr))
        receiver.dropped.fetch_add(1, std::memory_order_relaxed);
    receiver.nextStart = started + frames * 1e6 / (rate == 0 ? 1 : rate);
    void* buffer = jack_port_get_buffer(receiver.port, frames);
    const jack_nframes_t events = jack_midi_get_event_count(buffer);
    for (jack_nframes_t i = 0; i < events; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size > kLongestMessage)
            continue;
        if (event.size == 0 || !Put(receiver, static_cast<std::uint8_t>(event.size),
                                    receiver.frame + event.time, event.buffer))
            receiver.dropped.fetch_add(1, std::memory_order_relaxed);
    }
    receiver.frame += frames;
    if (events > 0)
        sem_post(&receiver.arrived);
    return 0;
}

/// Prints every whole message in the ring, one line each.
bool Drain(Receiver& receiver) {
    std::string lines;
    std::uint8_t size = 0;
    std::uint64_t frame = 0;
    unsigned char bytes[kLongestMessage];
    while (jack_ringbuffer_peek(receiver.ring, reinterpret_cast<char*>(&size), 1) == 1 &&
           jack_ringbuffer_read_space(receiver.ring) >= 1u + sizeof frame + size) {
        jack_ringbuffer_read_advance(receiver.ring, 1);
        jack_ringbuffer_read(receiver.ring, reinterpret_cast<char*>(&frame), sizeof frame);
        jack_ringbuffer_read(receiver.ring, reinterpret_cast<char*>(bytes), size);
        if (receiver.frames)
            lines += (size == 0 ? "off " : "") + std::to_string(frame) + (size == 0 ? "" : " ");
        if (size == 0) {
            lines += receiver.frames ? "\n" : "";
            continue;
        }
        char hex[4];
        for (std::uint8_t b = 0; b < size; ++b) {
            std::snprintf(hex, sizeof hex, "%s%02X", b == 0 ? "" : " ", bytes[b]);
            lines += hex;
        }
        lines += '\n';
    }
    return lines.empty() || printer::WriteAll(lines);
}

/// True once the server lists `port` to other clients. A new port shows in
/// the lists only after the server has run a cycle, which on a busy machine
/// can be a while; a device the test looks for must be there.
bool Listed(jack_client_t* client, const jack_port_t* port) {
    const std::string name = jack_port_name(port);
    bool listed = false;
    if (const char** ports =
            jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
        for (const char** each = ports; *each != nullptr; ++each) listed = listed || name == *each;
        jack_free(ports);
    }
    return listed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 3 && std::string(argv[2]) == "frames"))
        return 2;
    printer::StopOnSignals();
    Receiver receiver;
    receiver.frames = argc == 3;
    receiver.ring = jack_ringbuffer_create(kRingBytes);
    sem_init(&receiver.arrived, 0, 0);
    jack_client_t* client = jack_client_open(argv[1], JackNoStartServer, nullptr);
    receiver.client = client;
    if (client == nullptr || receiver.ring == nullptr) {
        std::fprintf(stderr, "receiver: no JACK server to open '%s' on\n", argv[1]);
        return 1;
    }
    receiver.port = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (receiver.port == nullptr || jack_set_process_callback(client, Process, &receiver) != 0 ||
        jack_activate(client) != 0) {
        std::fprintf(stderr, "receiver: could not make its port\n");
        jack_client_close(client);
        return 1;
    }
    for (int waited = 0; !Listed(client, receiver.port); ++waited) {
        if (waited == kListedPolls) {
            std::fprintf(stderr, "receiver: the server never listed its port\n");
            jack_client_close(client);
            return 1;
        }
        usleep(kListedPollMicroseconds);
    }
    if (!printer::WriteAll("ready\n"))
        return 1;
    printer::PrintUntilStopped(receiver.arrived, [&] { return Drain(receiver); });
    // Deactivate before anything the callback touches goes away.
    jack_deactivate(client);
    Drain(receiver);
    jack_client_close(client);
    jack_ringbuffer_free(receiver.ring);
    if (const unsigned dropped = receiver.dropped.load(); dropped > 0) {
        std::fprintf(stderr, "receiver: %u messages dropped, the ring was full\n", dropped);
        return 3;
    }
    return 0;
}
