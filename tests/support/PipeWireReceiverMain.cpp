// A native PipeWire MIDI node that stands as a device in the tests, where
// hardware bridged by PipeWire would: it makes a filter node "<name>" with
// one MIDI input "in" (so its port alias is "<name>:in"), prints "ready"
// once the daemon lists the port, then lines exactly as the JACK receiver
// prints them (see JackReceiverMain.cpp), and quits when its standard input
// closes (or on SIGTERM).
//
//   faderwell_pipewire_receiver <name> [frames | times]
//
// "frames" puts the frame each word arrived at before its bytes, "times" the
// moment that frame was due on the graph's clock (the monotonic clock, in
// microseconds), as the bench's JACK recorder does; an "off" line notes a
// cycle the graph started off its schedule.
// Unlike a JACK client through PipeWire's JACK layer, it reads its port in
// every cycle the graph runs, quantum changes included: a word a sender
// leaves in its port for two cycles arrives twice here.
#include <pipewire/filter.h>
#include <pipewire/pipewire.h>
#include <semaphore.h>
#include <spa/control/control.h>
#include <spa/pod/iter.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ReceiverPrinter.h"

namespace {

constexpr const char* kMidiFormat = "8 bit raw midi";
constexpr int kReadySeconds = 30;  // only a hung daemon takes that long
/// A cycle that starts further than this from where the one before ended
/// is off the graph's schedule.
constexpr double kOffScheduleMicroseconds = 250.0;

/// One message (size 0: an off-schedule mark) and its frame.
struct Record {
    std::uint64_t frame{0};
    std::uint64_t nanoseconds{0};  // when the frame was due
    std::uint8_t size{0};
    std::array<std::uint8_t, 3> bytes{};
};

/// Between the real-time thread and the printer: one writer, one reader.
class RecordRing {
public:
    static constexpr std::size_t kCapacity = 1 << 16;
    bool Push(const Record& record) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == kCapacity)
            return false;
        slots_[tail % kCapacity] = record;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }
    bool Pop(Record& record) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire))
            return false;
        record = slots_[head % kCapacity];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

private:
    std::array<Record, kCapacity> slots_{};
    std::atomic<std::size_t> head_{0};
    std::atomic<std::size_t> tail_{0};
};

struct Receiver {
    pw_thread_loop* loop{nullptr};
    pw_filter* filter{nullptr};
    void* port{nullptr};
    spa_hook filterListener{};
    pw_registry* registry{nullptr};
    spa_hook registryListener{};
    bool listed{false};  // under the loop's lock
    enum class Stamp { kNone, kFrames, kTimes } stamp{Stamp::kNone};
    // The real-time thread's own.
    std::uint64_t frame{0};
    double nextStart{-1};
    RecordRing ring;
    sem_t arrived{};
    std::atomic<unsigned> dropped{0};
};

void Put(Receiver& receiver, const Record& record) {
    if (!receiver.ring.Push(record))
        receiver.dropped.fetch_add(1, std::memory_order_relaxed);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wcast-qual"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wconversion"
void OnProcess(void* data, spa_io_position* position) {
    auto& receiver = *static_cast<Receiver*>(data);
    if (position == nullptr)
        return;
    const double started = static_cast<double>(position->clock.nsec) / 1000.0;
    const auto duration = static_cast<std::uint32_t>(position->clock.duration);
    const std::uint32_t rate = position->clock.rate.denom == 0 ? 1 : position->clock.rate.denom;
    if (receiver.nextStart >= 0 &&
        std::abs(started - receiver.nextStart) > kOffScheduleMicroseconds)
        Put(receiver, Record{receiver.frame, position->clock.nsec, 0, {}});
    receiver.nextStart = started + duration * 1e6 / rate;
    bool any = false;
    while (pw_buffer* buffer = pw_filter_dequeue_buffer(receiver.port)) {
        spa_data& in = buffer->buffer->datas[0];
        spa_pod* pod = in.data != nullptr
                           ? static_cast<spa_pod*>(spa_pod_from_data(
                                 in.data, in.maxsize, in.chunk->offset, in.chunk->size))
                           : nullptr;
        if (pod != nullptr && spa_pod_is_sequence(pod)) {
            spa_pod_control* control;
            SPA_POD_SEQUENCE_FOREACH((spa_pod_sequence*)pod, control) {
                if (control->type != SPA_CONTROL_Midi)
                    continue;
                const auto size = SPA_POD_BODY_SIZE(&control->value);
                const auto* bytes = static_cast<const std::uint8_t*>(SPA_POD_BODY(&control->value));
                if (size == 0 || size > 3) {
                    receiver.dropped.fetch_add(1, std::memory_order_relaxed);
                    continue;
                }
                Record record{
                    receiver.frame + control->offset,
                    position->clock.nsec + std::uint64_t{control->offset} * 1'000'000'000u / rate,
                    static_cast<std::uint8_t>(size),
                    {}};
                for (std::uint32_t i = 0; i < size; ++i) record.bytes[i] = bytes[i];
                Put(receiver, record);
                any = true;
            }
        }
        pw_filter_queue_buffer(receiver.port, buffer);
    }
    receiver.frame += duration;
    if (any)
        sem_post(&receiver.arrived);
}

void AddRegistryListener(pw_registry* registry, spa_hook* hook, const pw_registry_events* events,
                         void* data) {
    pw_registry_add_listener(registry, hook, events, data);
}
#pragma GCC diagnostic pop

void OnGlobal(void* data, std::uint32_t, std::uint32_t, const char* type, std::uint32_t,
              const spa_dict* props) {
    auto& receiver = *static_cast<Receiver*>(data);
    if (type == nullptr || std::string(type) != PW_TYPE_INTERFACE_Port || props == nullptr ||
        receiver.filter == nullptr)
        return;
    const char* node = spa_dict_lookup(props, PW_KEY_NODE_ID);
    if (node != nullptr &&
        std::strtoul(node, nullptr, 10) == pw_filter_get_node_id(receiver.filter)) {
        receiver.listed = true;
        pw_thread_loop_signal(receiver.loop, false);
    }
}

void OnFilterState(void* data, pw_filter_state, pw_filter_state, const char*) {
    pw_thread_loop_signal(static_cast<Receiver*>(data)->loop, false);
}

bool Drain(Receiver& receiver) {
    std::string lines;
    Record record;
    while (receiver.ring.Pop(record)) {
        const bool stamped = receiver.stamp != Receiver::Stamp::kNone;
        if (stamped)
            lines += (record.size == 0 ? "off " : "") +
                     std::to_string(receiver.stamp == Receiver::Stamp::kFrames
                                        ? record.frame
                                        : record.nanoseconds / 1000) +
                     (record.size == 0 ? "" : " ");
        if (record.size == 0) {
            lines += stamped ? "\n" : "";
            continue;
        }
        char hex[4];
        for (std::uint8_t b = 0; b < record.size; ++b) {
            std::snprintf(hex, sizeof hex, "%s%02X", b == 0 ? "" : " ", record.bytes[b]);
            lines += hex;
        }
        lines += '\n';
    }
    return lines.empty() || printer::WriteAll(lines);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string stamp = argc == 3 ? argv[2] : "";
    if (argc != 2 && !(argc == 3 && (stamp == "frames" || stamp == "times")))
        return 2;
    printer::StopOnSignals();
    pw_init(nullptr, nullptr);
    pw_log_set_level(SPA_LOG_LEVEL_NONE);
    Receiver receiver;
    receiver.stamp = stamp == "frames"  ? Receiver::Stamp::kFrames
                     : stamp == "times" ? Receiver::Stamp::kTimes
                                        : Receiver::Stamp::kNone;
    sem_init(&receiver.arrived, 0, 0);
    receiver.loop = pw_thread_loop_new("receiver", nullptr);
    // Real-time, as the output's and the daemon's data threads are: a receiver
    // that misses cycles on a busy machine loses words nobody else lost.
    pw_context* context =
        pw_context_new(pw_thread_loop_get_loop(receiver.loop),
                       pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
    if (context == nullptr || pw_thread_loop_start(receiver.loop) != 0)
        return 1;
    pw_thread_loop_lock(receiver.loop);
    pw_core* core = pw_context_connect(context, nullptr, 0);
    if (core == nullptr) {
        pw_thread_loop_unlock(receiver.loop);
        std::fprintf(stderr, "receiver: no PipeWire daemon to make '%s' on\n", argv[1]);
        return 1;
    }
    receiver.filter =
        pw_filter_new(core, argv[1],
                      pw_properties_new(PW_KEY_MEDIA_TYPE, "Midi", PW_KEY_MEDIA_CATEGORY, "Capture",
                                        PW_KEY_MEDIA_ROLE, "DSP", PW_KEY_NODE_NAME, argv[1],
                                        PW_KEY_NODE_DESCRIPTION, argv[1],
                                        PW_KEY_NODE_ALWAYS_PROCESS, "true", nullptr));
    static const pw_filter_events filterEvents = [] {
        pw_filter_events events{};
        events.version = PW_VERSION_FILTER_EVENTS;
        events.state_changed = &OnFilterState;
        events.process = &OnProcess;
        return events;
    }();
    pw_filter_add_listener(receiver.filter, &receiver.filterListener, &filterEvents, &receiver);
    receiver.port = pw_filter_add_port(
        receiver.filter, PW_DIRECTION_INPUT, PW_FILTER_PORT_FLAG_MAP_BUFFERS, sizeof(std::uint64_t),
        pw_properties_new(PW_KEY_FORMAT_DSP, kMidiFormat, PW_KEY_PORT_NAME, "in", nullptr), nullptr,
        0);
    if (receiver.port == nullptr ||
        pw_filter_connect(receiver.filter, PW_FILTER_FLAG_RT_PROCESS, nullptr, 0) != 0) {
        pw_thread_loop_unlock(receiver.loop);
        std::fprintf(stderr, "receiver: could not make its port\n");
        return 1;
    }
    receiver.registry = pw_core_get_registry(core, PW_VERSION_REGISTRY, 0);
    static const pw_registry_events registryEvents = [] {
        pw_registry_events events{};
        events.version = PW_VERSION_REGISTRY_EVENTS;
        events.global = &OnGlobal;
        return events;
    }();
    AddRegistryListener(receiver.registry, &receiver.registryListener, &registryEvents, &receiver);
    timespec until{};
    pw_thread_loop_get_time(receiver.loop, &until, std::int64_t{kReadySeconds} * 1'000'000'000);
    while (!receiver.listed && pw_thread_loop_timed_wait_full(receiver.loop, &until) == 0) {
    }
    const bool listed = receiver.listed;
    pw_thread_loop_unlock(receiver.loop);
    if (!listed) {
        std::fprintf(stderr, "receiver: the daemon never listed its port\n");
        return 1;
    }
    if (!printer::WriteAll("ready\n"))
        return 1;
    printer::PrintUntilStopped(receiver.arrived, [&] { return Drain(receiver); });
    // The node goes, and its process callback with it, before the ring.
    pw_thread_loop_lock(receiver.loop);
    spa_hook_remove(&receiver.registryListener);
    pw_proxy_destroy(reinterpret_cast<pw_proxy*>(receiver.registry));
    pw_filter_destroy(receiver.filter);
    pw_core_disconnect(core);
    pw_thread_loop_unlock(receiver.loop);
    pw_thread_loop_stop(receiver.loop);
    Drain(receiver);
    pw_context_destroy(context);
    pw_thread_loop_destroy(receiver.loop);
    if (const unsigned dropped = receiver.dropped.load(); dropped > 0) {
        std::fprintf(stderr, "receiver: %u messages dropped\n", dropped);
        return 3;
    }
    return 0;
}
