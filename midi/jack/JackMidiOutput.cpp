#include "midi/jack/JackMidiOutput.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace faderwell {

namespace {

using Clock = std::chrono::steady_clock;

/// Process cycles to let pass after the connection is reported and after
/// the ring has emptied: the server switches to a new graph, and a
/// receiver reads what was written, within the next cycle or two.
constexpr std::uint64_t kSettlingCycles = 2;

}  // namespace

struct JackMidiOutput::Callbacks {
    static int Process(jack_nframes_t frames, void* self) {
        static_cast<JackMidiOutput*>(self)->Process(frames);
        return 0;
    }
    static void Shutdown(jack_status_t, const char*, void* self) {
        auto& output = *static_cast<JackMidiOutput*>(self);
        output.gone_.store(true, std::memory_order_release);
        output.Wake();
    }
    static int BufferSize(jack_nframes_t, void* self) {
        static_cast<JackMidiOutput*>(self)->Announce();
        return 0;
    }
    static int SampleRate(jack_nframes_t, void* self) {
        static_cast<JackMidiOutput*>(self)->Announce();
        return 0;
    }
    /// Only a wake-up: the waiting thread asks the graph itself.
    static void Connect(jack_port_id_t, jack_port_id_t, int connected, void* self) {
        if (connected != 0)
            static_cast<JackMidiOutput*>(self)->Wake();
    }
};

std::unique_ptr<JackMidiOutput> JackMidiOutput::Open(
    const std::string& client, const std::string& port,
    const std::optional<std::string>& destination) {
    auto output = std::unique_ptr<JackMidiOutput>(new JackMidiOutput());
    if (!output->Start(client, port))
        return nullptr;
    if (destination && !output->ConnectTo(*destination))
        return nullptr;
    return output;
}

bool JackMidiOutput::Start(const std::string& client, const std::string& port) {
    jack_status_t status{};
    client_ = jack_client_open(client.c_str(), JackNoStartServer, &status);
    if (client_ == nullptr)
        return false;
    jack_set_process_callback(client_, &Callbacks::Process, this);
    jack_set_buffer_size_callback(client_, &Callbacks::BufferSize, this);
    jack_set_sample_rate_callback(client_, &Callbacks::SampleRate, this);
    jack_on_info_shutdown(client_, &Callbacks::Shutdown, this);
    jack_set_port_connect_callback(client_, &Callbacks::Connect, this);
    port_ = jack_port_register(client_, port.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    active_ = port_ != nullptr && jack_activate(client_) == 0;
    return active_;
}

bool JackMidiOutput::ConnectTo(const std::string& destination) {
    const auto deadline = Clock::now() + kConnectBound;
    if (ServerGone())
        return false;
    const char* ours = jack_port_name(port_);
    const int connected = jack_connect(client_, ours, destination.c_str());
    if (connected != 0 && connected != EEXIST)
        return false;
    // The server reports the connection to its clients in its own time, and
    // puts it into the graph of a cycle to come: until then a word written
    // to the port reaches nobody.
    if (!WaitFor([&] { return jack_port_connected_to(port_, destination.c_str()) != 0; }, deadline))
        return false;
    const std::uint64_t seen = cycles_.load(std::memory_order_acquire);
    return WaitFor(
        [&] { return cycles_.load(std::memory_order_acquire) >= seen + kSettlingCycles; },
        deadline);
}

void JackMidiOutput::Disconnect() {
    if (ServerGone())
        return;
    if (sent_)
        Drain(kDrainBound);
    jack_port_disconnect(client_, port_);
    // PipeWire's libjack takes a link that it still lists for a new one:
    // connecting again before the old link has gone would report a
    // connection that is about to vanish.
    WaitFor([this] { return jack_port_connected(port_) == 0; }, Clock::now() + kDrainBound);
}

JackMidiOutput::~JackMidiOutput() {
    if (client_ == nullptr)
        return;
    if (active_ && sent_)
        Drain(kDrainBound);
    // Closing the client stops its process thread; only then may the ring
    // and everything else it reads go.
    jack_client_close(client_);
}

void JackMidiOutput::Send(const std::uint8_t* bytes, std::size_t size,
                          std::optional<Clock::time_point> due) {
    if (ServerGone() || size == 0 || size > 3)
        return;
    StampedWord word;
    if (due) {
        // The server's clock and the steady clock run at the same rate; only
        // the distance back to the due moment is carried over. The moment
        // stays a moment until the process thread places it: a frame
        // reckoned now would go stale if the server started a new schedule
        // meanwhile.
        const jack_time_t now = jack_get_time();
        const auto late =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - *due);
        word.moment =
            static_cast<std::uint32_t>(now - static_cast<jack_time_t>(std::clamp<std::int64_t>(
                                                 late.count(), 0, static_cast<std::int64_t>(now))));
        word.due = true;
    }
    word.size = static_cast<std::uint8_t>(size);
    std::copy_n(bytes, size, word.bytes.begin());
    sent_ = true;
    if (!ring_.Push(word))
        ++dropped_;
}

void JackMidiOutput::Drain(std::chrono::milliseconds bound) {
    const auto deadline = Clock::now() + bound;
    if (!WaitFor([this] { return ring_.Empty(); }, deadline))
        return;
    const std::uint64_t seen = cycles_.load(std::memory_order_acquire);
    if (WaitFor([&] { return cycles_.load(std::memory_order_acquire) >= seen + kSettlingCycles; },
                deadline))
        sent_ = false;  // nothing left to wait for at the next close
}

template <typename Condition>
bool JackMidiOutput::WaitFor(Condition done, Clock::time_point deadline) {
    waiting_.store(true, std::memory_order_release);
    bool met = false;
    while (!ServerGone()) {
        if (done()) {
            met = true;
            break;
        }
        // Woken by the next cycle or notification; the deadline only
        // bounds a server that has stalled.
        if (!wake_.try_acquire_until(deadline) && Clock::now() >= deadline) {
            met = done();
            break;
        }
    }
    waiting_.store(false, std::memory_order_release);
    while (wake_.try_acquire()) {
    }
    return met && !ServerGone();
}

void JackMidiOutput::Wake() {
    if (waiting_.load(std::memory_order_acquire))
        wake_.release();
}

void JackMidiOutput::Process(std::uint32_t frames) {
    const jack_nframes_t rate = jack_get_sample_rate(client_);
    if (rate != 0) {
        // The server's own account of when this cycle started, not when
        // this callback came to run: the callback may be late by however
        // long the clients before it took.
        const jack_nframes_t since = jack_frames_since_cycle_start(client_);
        const double started =
            static_cast<double>(jack_get_time()) - static_cast<double>(since) * 1e6 / rate;
        clock_.Cycle(started, frames, rate, announced_.exchange(false, std::memory_order_acq_rel));
        largestPeriod_ = std::max(largestPeriod_, clock_.PeriodMicroseconds());
    }
    const auto cycleStart = static_cast<std::uint32_t>(std::llround(clock_.Start()));
    // A word sent just after a cycle started, and due then, falls due one
    // latency later: past the start of the cycle after next at the latest,
    // however the period changed meanwhile. Twice that is beyond any word.
    const auto latency = static_cast<std::uint32_t>(largestPeriod_) +
                         static_cast<std::uint32_t>(kHeadroomMicroseconds);
    const std::uint32_t ahead = 2 * latency;
    void* buffer = jack_port_get_buffer(port_, frames);
    jack_midi_clear_buffer(buffer);
    // Each word leaves no earlier than the one before: the earlier word left
    // in this cycle or a cycle before, so the frame it took is all there is
    // to keep to.
    std::uint32_t lastOffset = 0;
    while (const StampedWord* word = ring_.Front()) {
        // A hand move, or any word while the server tells no rate, at once.
        const auto offset = word->due && rate != 0 ? FrameOffset(word->moment + latency, cycleStart,
                                                                 frames, rate, lastOffset, ahead)
                                                   : std::optional<std::uint32_t>(lastOffset);
        if (!offset)
            break;  // not due yet, and every word behind it waits with it
        // A full port buffer keeps the rest, in order, for the next cycle.
        if (jack_midi_event_write(buffer, *offset, word->bytes.data(), word->size) != 0)
            break;
        lastOffset = *offset;
        ring_.Pop();
    }
    cycles_.fetch_add(1, std::memory_order_release);
    Wake();
}

}  // namespace faderwell
