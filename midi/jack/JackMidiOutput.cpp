#include "midi/jack/JackMidiOutput.h"

#include "midi/timing/PlaceWords.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace faderwell {

namespace {

using Clock = std::chrono::steady_clock;

/// Process cycles to let pass after activation and after the connection is
/// reported, before words count on it, and after the ring has emptied: the
/// server switches to a new graph, and a receiver reads what was written,
/// within the next cycle or two.
constexpr std::uint64_t kSettlingCycles = 2;

/// Client names tried after the one asked for: "name-01" to "name-99".
constexpr int kLastNameSuffix = 99;

std::string ClientName(const std::string& name, int suffix) {
    if (suffix == 0)
        return name;
    return name + (suffix < 10 ? "-0" : "-") + std::to_string(suffix);
}

void SilentMessage(const char*) {}

/// Whether a jackd server may be listening: false only for jackd's own
/// library when the server's socket is not there. That library opens its
/// metadata database (1.5 MiB of Berkeley DB) at any client open, also when
/// no server runs, so a start-up without JACK would pay it for nothing.
/// PipeWire's libjack has no such socket and is always asked.
bool MayHaveServer() {
    if (std::string_view(jack_get_version_string()).substr(0, 4) != "1.9.")
        return true;
    // The socket's place as jackd2 makes it: /dev/shm/jack_<server>_<uid>_0,
    // without the uid for a promiscuous server, '/' in the name as '_'.
    const char* chosen = std::getenv("JACK_DEFAULT_SERVER");
    std::string server = chosen != nullptr && *chosen != '\0' ? chosen : "default";
    std::replace(server.begin(), server.end(), '/', '_');
    std::string socket = "/dev/shm/jack_" + server;
    if (std::getenv("JACK_PROMISCUOUS_SERVER") == nullptr)
        socket.append("_").append(std::to_string(geteuid()));
    socket.append("_0");
    struct stat info {};
    return stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

/// Held while a client picks its name and takes its place in the graph.
/// PipeWire leaves two clients asking for one name at once with that name
/// each, and shows each of them the other under a name of its own making,
/// so no client can tell from its own view; copies of the program on one
/// server take turns instead, each opening once the one before is in the
/// graph. The lock lies in the server's runtime directory; without one,
/// nothing is held.
class NameLock {
public:
    NameLock() {
        const char* dir = std::getenv("PIPEWIRE_RUNTIME_DIR");
        if (dir == nullptr || *dir == '\0')
            dir = std::getenv("XDG_RUNTIME_DIR");
        if (dir == nullptr || *dir == '\0')
            return;
        const std::string path = std::string(dir) + "/faderwell-jack-names.lock";
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~NameLock() {
        if (fd_ >= 0)
            ::close(fd_);  // lets go of the lock
    }
    NameLock(const NameLock&) = delete;
    NameLock& operator=(const NameLock&) = delete;

private:
    int fd_{-1};
};

}  // namespace

struct JackMidiOutput::Callbacks {
    static int Process(jack_nframes_t frames, void* self) {
        static_cast<JackMidiOutput*>(self)->Process(frames);
        return 0;
    }
    // jackd's libjack calls the first, PipeWire's (0.3.65) only the second;
    // a library may call both.
    static void InfoShutdown(jack_status_t, const char*, void* self) {
        static_cast<JackMidiOutput*>(self)->ServerEnded();
    }
    static void Shutdown(void* self) { static_cast<JackMidiOutput*>(self)->ServerEnded(); }
    static void PortRegistration(jack_port_id_t id, int registered, void* self) {
        if (registered != 0)
            static_cast<JackMidiOutput*>(self)->PortRegistered(id);
    }
    static int BufferSize(jack_nframes_t, void* self) {
        static_cast<JackMidiOutput*>(self)->Announce();
        return 0;
    }
    static int SampleRate(jack_nframes_t, void* self) {
        static_cast<JackMidiOutput*>(self)->Announce();
        return 0;
    }
};

std::unique_ptr<JackMidiOutput> JackMidiOutput::Open(const std::string& client,
                                                     const std::string& port, JackWordQueue& words,
                                                     JackOutputEvents events) {
    if (!MayHaveServer())
        return nullptr;  // as libjack would answer, without its database
    const NameLock turn;
    for (int suffix = 0; suffix <= kLastNameSuffix; ++suffix) {
        auto output = std::unique_ptr<JackMidiOutput>(new JackMidiOutput(words, events));
        switch (output->Start(ClientName(client, suffix), port)) {
            case Started::kNo:
                return nullptr;
            case Started::kNameTaken:
                continue;
            case Started::kYes:
                return output;
        }
    }
    return nullptr;
}

std::vector<std::string> JackMidiOutput::Destinations() const {
    std::vector<std::string> names;
    if (const char** ports =
            jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
        for (const char** port = ports; *port != nullptr; ++port) names.emplace_back(*port);
        jack_free(ports);
    }
    return names;
}

void JackMidiOutput::SilenceLibrary() {
    jack_set_error_function(&SilentMessage);
    jack_set_info_function(&SilentMessage);
}

JackMidiOutput::Started JackMidiOutput::Start(const std::string& client, const std::string& port) {
    jack_status_t status{};
    client_ = jack_client_open(client.c_str(), JackNoStartServer, &status);
    if (client_ == nullptr)
        return Started::kNo;
    jack_set_process_callback(client_, &Callbacks::Process, this);
    jack_on_info_shutdown(client_, &Callbacks::InfoShutdown, this);
    jack_on_shutdown(client_, &Callbacks::Shutdown, this);
    jack_set_port_registration_callback(client_, &Callbacks::PortRegistration, this);
    jack_set_buffer_size_callback(client_, &Callbacks::BufferSize, this);
    jack_set_sample_rate_callback(client_, &Callbacks::SampleRate, this);
    // A client of the same name that came first owns the port name: both
    // libjack and the server would take its port for ours. It is left alone
    // before this client has a port or takes part in the graph.
    const std::string name = std::string(jack_get_client_name(client_)) + ":" + port;
    if (jack_port_by_name(client_, name.c_str()) != nullptr)
        return Started::kNameTaken;
    port_ = jack_port_register(client_, port.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (port_ == nullptr)
        return Started::kNo;
    follower_ = std::thread(&JackMidiOutput::FollowInput, this);
    return Started::kYes;
}

bool JackMidiOutput::Activate() {
    if (!active_ && !ServerGone()) {
        activatedAt_ = words_.cycles.load(std::memory_order_acquire);
        active_ = jack_activate(client_) == 0;
    }
    return active_ && !ServerGone();
}

bool JackMidiOutput::WaitUntilInGraph(Clock::time_point deadline) {
    // The server takes the client into its graph in a cycle to come, and
    // holds a connection made before then for the change after: on a busy
    // machine that has cost a whole round of words on jackd. A cycle of our
    // own is the graph with us in it.
    return WaitFor(
        caller_,
        [this] {
            return words_.cycles.load(std::memory_order_acquire) >= activatedAt_ + kSettlingCycles;
        },
        deadline);
}

bool JackMidiOutput::ConnectTo(const std::string& destination) {
    const auto deadline = Clock::now() + kConnectBound;
    if (!Activate() || jack_port_by_name(client_, destination.c_str()) == nullptr ||
        !WaitUntilInGraph(deadline))
        return false;
    {
        const std::lock_guard lock(followLock_);
        const int connected = jack_connect(client_, jack_port_name(port_), destination.c_str());
        if (connected != 0 && connected != EEXIST)
            return false;
    }
    // The server reports the connection to its clients in its own time, and
    // puts it into the graph of a cycle to come: until then a word written
    // to the port reaches nobody.
    if (!WaitFor(
            caller_, [&] { return jack_port_connected_to(port_, destination.c_str()) != 0; },
            deadline))
        return false;
    {
        // Followed only from here on: until the server has reported the
        // connection, the follower would take it for an input that went away
        // and connect again, and PipeWire then drops the link being made.
        const std::lock_guard lock(followLock_);
        followed_ = destination;
        const std::lock_guard name(nameLock_);
        followedName_ = destination;
    }
    const std::uint64_t seen = words_.cycles.load(std::memory_order_acquire);
    return WaitFor(
        caller_,
        [&] { return words_.cycles.load(std::memory_order_acquire) >= seen + kSettlingCycles; },
        deadline);
}

bool JackMidiOutput::Follow(const std::string& destination) {
    if (!Activate())
        return false;
    {
        const std::lock_guard lock(followLock_);
        followed_ = destination;
        const std::lock_guard name(nameLock_);
        followedName_ = destination;
    }
    // Registered before the names were set: the follower would not hear of it.
    if (jack_port_by_name(client_, destination.c_str()) != nullptr)
        WakeFollower();
    return true;
}

void JackMidiOutput::Disconnect() {
    {
        const std::lock_guard lock(followLock_);
        followed_.clear();
        const std::lock_guard name(nameLock_);
        followedName_.clear();
    }
    if (ServerGone() || !active_)
        return;
    if (words_.sent.load() || !words_.ring.Empty())
        Drain(kDrainBound);
    jack_port_disconnect(client_, port_);
    // PipeWire's libjack takes a link that it still lists for a new one:
    // connecting again before the old link has gone would report a
    // connection that is about to vanish.
    WaitFor(
        caller_, [this] { return jack_port_connected(port_) == 0; }, Clock::now() + kDrainBound);
    // No output open: the server need not wake the port every period.
    jack_deactivate(client_);
    active_ = false;
}

void JackMidiOutput::PortRegistered(std::uint32_t id) {
    // Only the followed input's return counts: any other port registering
    // leaves the connections as the user made them. Looking a port up asks
    // the server nothing, so it may be done here.
    const jack_port_t* port = jack_port_by_id(client_, id);
    const char* name = port != nullptr ? jack_port_name(port) : nullptr;
    if (name == nullptr)
        return;
    {
        const std::lock_guard lock(nameLock_);
        if (followedName_.empty() || followedName_ != name)
            return;
    }
    WakeFollower();
}

void JackMidiOutput::WakeFollower() {
    if (!registered_.exchange(true))
        registration_.release();
}

void JackMidiOutput::FollowInput() {
    // libjack lets no client call the server from its callbacks: the
    // connection is made here, on a thread of our own.
    while (true) {
        registration_.acquire();
        registered_.store(false);
        if (stopFollowing_.load())
            return;
        {
            const std::lock_guard lock(followLock_);
            if (followed_.empty() || ServerGone() ||
                jack_port_connected_to(port_, followed_.c_str()) != 0)
                continue;
        }
        // What was sent while the input was away goes nowhere, also where
        // the server paused the port while the graph changed (PipeWire
        // does): only then is the input connected.
        WaitForWordsSoFar(following_, Clock::now() + kConnectBound);
        if (stopFollowing_.load())
            return;
        bool connected = false;
        {
            const std::lock_guard lock(followLock_);
            connected = !followed_.empty() && !ServerGone() &&
                        jack_port_connected_to(port_, followed_.c_str()) == 0 &&
                        jack_port_by_name(client_, followed_.c_str()) != nullptr &&
                        jack_connect(client_, jack_port_name(port_), followed_.c_str()) == 0;
        }
        if (connected && events_.reconnected)
            events_.reconnected();
    }
}

void JackMidiOutput::StopFollowing() {
    if (!follower_.joinable())
        return;
    stopFollowing_.store(true);
    WakeFollower();
    following_.Wake();
    follower_.join();
}

JackMidiOutput::~JackMidiOutput() {
    StopFollowing();
    if (client_ == nullptr)
        return;
    if (active_ && (words_.sent.load() || !words_.ring.Empty()))
        Drain(kDrainBound);
    // Closing the client stops its process thread; only then may the ring
    // and everything else it reads go.
    jack_client_close(client_);
}

StampedWord JackMidiOutput::Stamp(const std::uint8_t* bytes, std::size_t size,
                                  std::optional<Clock::time_point> due) {
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
    word.size = static_cast<std::uint8_t>(std::min<std::size_t>(size, word.bytes.size()));
    std::copy_n(bytes, word.size, word.bytes.begin());
    return word;
}

void JackMidiOutput::Drain(std::chrono::milliseconds bound) {
    const auto deadline = Clock::now() + bound;
    if (!WaitFor(
            caller_, [this] { return words_.ring.Empty(); }, deadline))
        return;
    const std::uint64_t seen = words_.cycles.load(std::memory_order_acquire);
    if (WaitFor(
            caller_,
            [&] { return words_.cycles.load(std::memory_order_acquire) >= seen + kSettlingCycles; },
            deadline))
        words_.sent.store(false);  // nothing left to wait for at the next close
}

template <typename Condition>
bool JackMidiOutput::WaitFor(Waiter& waiter, Condition done, Clock::time_point deadline) {
    waiter.waiting.store(true);
    bool met = false;
    while (!ServerGone()) {
        if (done()) {
            met = true;
            break;
        }
        // Woken by the next cycle or notification; the deadline only
        // bounds a server that has stalled.
        if (!waiter.wake.try_acquire_until(deadline) && Clock::now() >= deadline) {
            met = done();
            break;
        }
    }
    waiter.waiting.store(false);
    while (waiter.wake.try_acquire()) {
    }
    return met && !ServerGone();
}

bool JackMidiOutput::WaitForWordsSoFar(Waiter& waiter, Clock::time_point deadline) {
    // A word leaves within the headroom and two periods of being handed
    // over; the cycles that cover that much time have popped it.
    const std::uint64_t period = std::max<std::uint32_t>(jack_get_buffer_size(client_), 1);
    const std::uint64_t headroom = std::uint64_t{jack_get_sample_rate(client_)} *
                                   static_cast<std::uint64_t>(CycleClock::kHeadroomMicroseconds) /
                                   1'000'000;
    const std::uint64_t turn = (headroom + 2 * period) / period + kSettlingCycles;
    const std::uint64_t seen = words_.cycles.load(std::memory_order_acquire);
    return WaitFor(
        waiter,
        [&] {
            return stopFollowing_.load() ||
                   words_.cycles.load(std::memory_order_acquire) >= seen + turn;
        },
        deadline);
}

void JackMidiOutput::Wake() {
    caller_.Wake();
    following_.Wake();
}

void JackMidiOutput::ServerEnded() {
    // Both shutdown callbacks may come: the owner hears of it once.
    if (gone_.exchange(true))
        return;
    Wake();
    if (events_.serverGone)
        events_.serverGone();
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
    }
    void* buffer = jack_port_get_buffer(port_, frames);
    jack_midi_clear_buffer(buffer);
    PlaceWords(words_.ring, clock_, frames, rate,
               [&](std::uint32_t offset, const StampedWord& word) {
                   return jack_midi_event_write(buffer, offset, word.bytes.data(), word.size) == 0;
               });
    words_.cycles.fetch_add(1, std::memory_order_release);
    Wake();
}

}  // namespace faderwell
