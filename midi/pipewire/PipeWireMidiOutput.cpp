#include "midi/pipewire/PipeWireMidiOutput.h"

#include "midi/timing/PlaceWords.h"

#include <pipewire/filter.h>
#include <pipewire/link.h>
#include <pipewire/pipewire.h>
#include <spa/control/control.h>
#include <spa/pod/builder.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <map>

namespace faderwell {

namespace {

using Clock = std::chrono::steady_clock;

/// Process cycles to let pass after the link is active and after the ring
/// has emptied: the graph takes a new link in, and a receiver reads what
/// was written, within the next cycle or two.
constexpr std::uint64_t kSettlingCycles = 2;

/// Cycles in a row without a free buffer whose words still wait: a reader
/// a cycle behind frees one soon, but a port nobody takes buffers from (a
/// node made again after the daemon came back, before its link) has none.
constexpr std::uint32_t kCyclesWithoutBufferKept = 8;
/// The port type of a MIDI port, as PipeWire and its JACK layer name it.
constexpr const char* kMidiFormat = "8 bit raw midi";
/// The client configuration that loads the real-time module.
constexpr const char* kRealTimeConfig = "client-rt.conf";
/// The most one word takes in a buffer: its control header, the bytes'
/// pod header and the bytes padded to eight.
constexpr std::uint32_t kRoomPerWord = sizeof(spa_pod_control) + sizeof(spa_pod) + 8;
/// A daemon that went is looked for again this often, this many times,
/// after it went and whenever its socket appears again: between creating
/// the socket and answering on it, a starting daemon turns clients away.
constexpr std::int64_t kRetryNanoseconds = 100'000'000;
constexpr int kRetries = 30;

void InitLibrary() {
    static const bool initialised = [] {
        pw_init(nullptr, nullptr);
        // This program reports nothing of the libraries' own.
        pw_log_set_level(SPA_LOG_LEVEL_NONE);
        return true;
    }();
    static_cast<void>(initialised);
}

/// Where the daemon's socket lies and what it is called, as the library
/// looks for it.
struct SocketPlace {
    std::string dir;
    std::string name;
};

std::optional<SocketPlace> DaemonSocket() {
    const char* dir = std::getenv("PIPEWIRE_RUNTIME_DIR");
    if (dir == nullptr || *dir == '\0')
        dir = std::getenv("XDG_RUNTIME_DIR");
    if (dir == nullptr || *dir == '\0')
        return std::nullopt;
    const char* name = std::getenv("PIPEWIRE_REMOTE");
    return SocketPlace{dir, name != nullptr && *name != '\0' ? name : "pipewire-0"};
}

/// Whether the daemon's socket is where the library will look for it.
bool DaemonSocketThere() {
    const auto place = DaemonSocket();
    if (!place)
        return false;
    const std::string path =
        place->name.front() == '/' ? place->name : place->dir + "/" + place->name;
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

std::string Lookup(const spa_dict* props, const char* key) {
    const char* value = props != nullptr ? spa_dict_lookup(props, key) : nullptr;
    return value != nullptr ? value : "";
}

// PipeWire's method macros cast in C's style: these wrappers are the only
// places they are used.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
void AddCoreListener(pw_core* core, spa_hook* hook, const pw_core_events* events, void* data) {
    pw_core_add_listener(core, hook, events, data);
}
void AddRegistryListener(pw_registry* registry, spa_hook* hook, const pw_registry_events* events,
                         void* data) {
    pw_registry_add_listener(registry, hook, events, data);
}
int SyncCore(pw_core* core) {
    return pw_core_sync(core, PW_ID_CORE, 0);
}
#pragma GCC diagnostic pop

/// A port the registry announced.
struct PortGlobal {
    std::uint32_t node{SPA_ID_INVALID};
    std::string alias;
    bool input{false};
    bool midi{false};
};

}  // namespace

/// PipeWire's objects of one output (or of one listing), all touched only
/// with the thread loop's lock held; the callbacks run on the loop's thread,
/// which holds it, except `OnProcess`, which runs on the graph's real-time
/// thread and touches only the port and the owner's lock-free side.
struct PipeWireMidiOutput::Session {
    PipeWireMidiOutput* owner{nullptr};  // null for a listing
    std::string name;

    pw_thread_loop* loop{nullptr};
    pw_context* context{nullptr};
    pw_core* core{nullptr};
    spa_hook coreListener{};
    pw_registry* registry{nullptr};
    spa_hook registryListener{};
    pw_filter* filter{nullptr};
    spa_hook filterListener{};
    void* port{nullptr};
    pw_proxy* link{nullptr};
    spa_hook linkListener{};
    spa_hook linkProxyListener{};
    pw_link_state linkState{PW_LINK_STATE_INIT};
    std::uint32_t linkedInput{SPA_ID_INVALID};

    int syncSeq{-1};
    bool synced{false};
    bool lost{false};
    /// Events from the daemon so far: signs of life while a caller waits.
    std::uint64_t heard{0};
    /// A wait ended because the daemon showed no sign of life.
    bool silent{false};
    /// Lines for the owner's user: the daemon went, the output is back.
    Notices notices;
    bool announceReturn{false};
    std::map<std::uint32_t, PortGlobal> ports;
    /// The input to link to and follow (its alias); empty for the mapper.
    std::string followed;

    // Coming back after the daemon went.
    spa_source* lostEvent{nullptr};
    spa_source* retry{nullptr};
    spa_source* watch{nullptr};
    int watchFd{-1};
    int retriesLeft{0};
    std::string socketName;

    ~Session() { Stop(); }

    bool Start() {
        InitLibrary();
        loop = pw_thread_loop_new("faderwell-pipewire", nullptr);
        if (loop == nullptr)
            return false;
        // The real-time client configuration: its data thread, which runs the
        // process callback, then gets the real-time priority the daemon's own
        // threads have, so a busy machine does not make it miss cycles.
        context = pw_context_new(pw_thread_loop_get_loop(loop),
                                 pw_properties_new(PW_KEY_APP_NAME, name.c_str(),
                                                   PW_KEY_CONFIG_NAME, kRealTimeConfig, nullptr),
                                 0);
        if (context == nullptr)
            return false;
        if (owner != nullptr) {
            pw_loop* events = pw_thread_loop_get_loop(loop);
            lostEvent = pw_loop_add_event(events, &Session::OnLost, this);
            retry = pw_loop_add_timer(events, &Session::OnRetry, this);
        }
        return pw_thread_loop_start(loop) == 0;
    }

    void Stop() {
        if (loop == nullptr)
            return;
        pw_thread_loop_lock(loop);
        Teardown();
        pw_loop* events = pw_thread_loop_get_loop(loop);
        for (spa_source* source : {lostEvent, retry, watch}) {
            if (source != nullptr)
                pw_loop_destroy_source(events, source);
        }
        lostEvent = retry = watch = nullptr;
        pw_thread_loop_unlock(loop);
        pw_thread_loop_stop(loop);
        if (watchFd >= 0)
            ::close(watchFd);
        if (context != nullptr)
            pw_context_destroy(context);
        pw_thread_loop_destroy(loop);
        loop = nullptr;
    }

    /// Connects to the daemon and, for an output, makes its node; false
    /// when no daemon answers.
    bool Connect() {
        core = pw_context_connect(context, nullptr, 0);
        if (core == nullptr)
            return false;
        lost = false;
        static const pw_core_events coreEvents = [] {
            pw_core_events events{};
            events.version = PW_VERSION_CORE_EVENTS;
            events.done = &Session::OnDone;
            events.error = &Session::OnCoreError;
            return events;
        }();
        AddCoreListener(core, &coreListener, &coreEvents, this);
        registry = pw_core_get_registry(core, PW_VERSION_REGISTRY, 0);
        static const pw_registry_events registryEvents = [] {
            pw_registry_events events{};
            events.version = PW_VERSION_REGISTRY_EVENTS;
            events.global = &Session::OnGlobal;
            events.global_remove = &Session::OnGlobalRemove;
            return events;
        }();
        AddRegistryListener(registry, &registryListener, &registryEvents, this);
        if (owner != nullptr && !MakeNode())
            return false;
        synced = false;
        syncSeq = SyncCore(core);
        return true;
    }

    bool MakeNode() {
        // What was handed over while there was no node goes nowhere: no
        // process thread reads the ring until the node is connected.
        owner->DropWaitingWords();
        owner->running_.store(false);
        owner->gone_.store(false);
        // Always processed, as a JACK client is: words sent while no input
        // is linked leave into nothing, and none are kept for a link to come.
        filter =
            pw_filter_new(core, name.c_str(),
                          pw_properties_new(PW_KEY_MEDIA_TYPE, "Midi", PW_KEY_MEDIA_CATEGORY,
                                            "Playback", PW_KEY_MEDIA_ROLE, "DSP", PW_KEY_NODE_NAME,
                                            name.c_str(), PW_KEY_NODE_DESCRIPTION, name.c_str(),
                                            PW_KEY_NODE_ALWAYS_PROCESS, "true", nullptr));
        if (filter == nullptr)
            return false;
        static const pw_filter_events filterEvents = [] {
            pw_filter_events events{};
            events.version = PW_VERSION_FILTER_EVENTS;
            events.state_changed = &Session::OnFilterState;
            events.process = &Session::OnProcess;
            return events;
        }();
        pw_filter_add_listener(filter, &filterListener, &filterEvents, this);
        port = pw_filter_add_port(filter, PW_DIRECTION_OUTPUT, PW_FILTER_PORT_FLAG_MAP_BUFFERS,
                                  sizeof(std::uint64_t),
                                  pw_properties_new(PW_KEY_FORMAT_DSP, kMidiFormat,
                                                    PW_KEY_PORT_NAME, name.c_str(), nullptr),
                                  nullptr, 0);
        return port != nullptr &&
               pw_filter_connect(filter, PW_FILTER_FLAG_RT_PROCESS, nullptr, 0) == 0;
    }

    void DropLink() {
        if (link == nullptr)
            return;
        spa_hook_remove(&linkListener);
        spa_hook_remove(&linkProxyListener);
        pw_proxy_destroy(link);
        link = nullptr;
        linkState = PW_LINK_STATE_INIT;
        linkedInput = SPA_ID_INVALID;
    }

    void Teardown() {
        DropLink();
        if (filter != nullptr) {
            spa_hook_remove(&filterListener);
            // Stops the process callback before it returns.
            pw_filter_destroy(filter);
            filter = nullptr;
            port = nullptr;
        }
        if (registry != nullptr) {
            spa_hook_remove(&registryListener);
            pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
            registry = nullptr;
        }
        if (core != nullptr) {
            spa_hook_remove(&coreListener);
            pw_core_disconnect(core);
            core = nullptr;
        }
        ports.clear();
        synced = false;
    }

    std::optional<std::uint32_t> OwnPort() const {
        if (filter == nullptr)
            return std::nullopt;
        const std::uint32_t node = pw_filter_get_node_id(filter);
        for (const auto& [id, global] : ports) {
            if (node != SPA_ID_INVALID && global.node == node && !global.input)
                return id;
        }
        return std::nullopt;
    }

    std::optional<std::uint32_t> Input(const std::string& alias) const {
        for (const auto& [id, global] : ports) {
            if (global.input && global.midi && global.alias == alias)
                return id;
        }
        return std::nullopt;
    }

    /// Links the port to the followed input once both are there.
    void LinkWhenThere() {
        // A link that failed (to an input that was going away, say) makes
        // room for a new one.
        if (link != nullptr && linkState == PW_LINK_STATE_ERROR)
            DropLink();
        if (owner == nullptr || followed.empty() || link != nullptr || lost || core == nullptr)
            return;
        const auto own = OwnPort();
        const auto input = Input(followed);
        if (!own || !input)
            return;
        pw_properties* props = pw_properties_new(nullptr, nullptr);
        pw_properties_setf(props, PW_KEY_LINK_OUTPUT_NODE, "%u", pw_filter_get_node_id(filter));
        pw_properties_setf(props, PW_KEY_LINK_OUTPUT_PORT, "%u", *own);
        pw_properties_setf(props, PW_KEY_LINK_INPUT_NODE, "%u", ports[*input].node);
        pw_properties_setf(props, PW_KEY_LINK_INPUT_PORT, "%u", *input);
        // The link goes with this client.
        pw_properties_set(props, PW_KEY_OBJECT_LINGER, "false");
        link = static_cast<pw_proxy*>(pw_core_create_object(
            core, "link-factory", PW_TYPE_INTERFACE_Link, PW_VERSION_LINK, &props->dict, 0));
        pw_properties_free(props);
        if (link == nullptr)
            return;
        linkState = PW_LINK_STATE_INIT;
        linkedInput = *input;
        static const pw_proxy_events proxyEvents = [] {
            pw_proxy_events events{};
            events.version = PW_VERSION_PROXY_EVENTS;
            events.removed = &Session::OnLinkRemoved;
            events.error = &Session::OnLinkError;
            return events;
        }();
        static const pw_link_events linkEvents = [] {
            pw_link_events events{};
            events.version = PW_VERSION_LINK_EVENTS;
            events.info = &Session::OnLinkInfo;
            return events;
        }();
        pw_proxy_add_listener(link, &linkProxyListener, &proxyEvents, this);
        pw_proxy_add_object_listener(link, &linkListener, &linkEvents, this);
    }

    std::uint64_t Signs() const {
        return heard + (owner != nullptr ? owner->cycles_.load(std::memory_order_acquire) : 0);
    }

    /// Waits with the lock held until `done` holds, at most until
    /// `deadline`, and no longer than kAnswerBound without a sign of life.
    template <typename Condition>
    bool WaitUntil(Condition done, Clock::time_point deadline) {
        std::uint64_t seen = Signs();
        auto quiet = Clock::now() + kAnswerBound;
        while (!done()) {
            const auto now = Clock::now();
            if (now >= deadline)
                return false;
            if (now >= quiet) {
                if (Signs() == seen) {
                    silent = true;
                    return false;
                }
                seen = Signs();
                quiet = now + kAnswerBound;
            }
            timespec until{};
            pw_thread_loop_get_time(loop, &until,
                                    std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::min(deadline, quiet) - now)
                                        .count());
            pw_thread_loop_timed_wait_full(loop, &until);
        }
        return true;
    }

    void Say(const std::string& line) const {
        if (notices)
            notices(line);
    }
    std::string Quoted() const {
        return '"' + (followed.empty() ? std::string("MIDI MAPPER") : followed) + '"';
    }

    // --- Coming back -------------------------------------------------------

    /// Watches the socket's folder, so that a daemon starting again is
    /// noticed without looking for it on a timer.
    void WatchForDaemon() {
        if (watch != nullptr)
            return;
        const auto place = DaemonSocket();
        if (!place)
            return;
        socketName = place->name;
        watchFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (watchFd < 0)
            return;
        if (::inotify_add_watch(watchFd, place->dir.c_str(), IN_CREATE | IN_MOVED_TO) < 0) {
            ::close(watchFd);
            watchFd = -1;
            return;
        }
        watch = pw_loop_add_io(pw_thread_loop_get_loop(loop), watchFd, SPA_IO_IN, false,
                               &Session::OnWatch, this);
    }

    void TryAgainSoon() {
        timespec value{0, kRetryNanoseconds};
        timespec none{0, 0};
        pw_loop_update_timer(pw_thread_loop_get_loop(loop), retry, &value, &none, false);
    }

    /// Once after the daemon came back: the mapper is back with its node,
    /// an output with an input once the link to it is active.
    void SayBack() {
        if (!announceReturn)
            return;
        announceReturn = false;
        Say("PipeWire runs again: MIDI goes to " + Quoted() + " again");
    }

    void TryToComeBack() {
        if (core != nullptr)
            return;
        if (Connect()) {
            retriesLeft = 0;
            if (followed.empty())
                SayBack();
            return;
        }
        Teardown();
        if (retriesLeft-- > 0)
            TryAgainSoon();
    }

    // --- Callbacks ----------------------------------------------------------

    static void OnDone(void* data, std::uint32_t id, int seq) {
        auto& self = *static_cast<Session*>(data);
        ++self.heard;
        if (id == PW_ID_CORE && seq == self.syncSeq) {
            self.synced = true;
            pw_thread_loop_signal(self.loop, false);
        }
    }

    static void OnCoreError(void* data, std::uint32_t id, int, int res, const char*) {
        auto& self = *static_cast<Session*>(data);
        if (id != PW_ID_CORE || res != -EPIPE)
            return;
        // The daemon has gone. Its objects go outside of its own callback.
        self.lost = true;
        if (self.owner != nullptr) {
            self.owner->gone_.store(true);
            if (self.owner->waiting_.load())
                self.owner->wake_.release();  // a waiting caller looks again
            pw_loop_signal_event(pw_thread_loop_get_loop(self.loop), self.lostEvent);
        }
        pw_thread_loop_signal(self.loop, false);
    }

    static void OnLost(void* data, std::uint64_t) {
        auto& self = *static_cast<Session*>(data);
        self.Teardown();
        self.Say("PipeWire has gone, so MIDI to " + self.Quoted() +
                 " is dropped until it runs again");
        self.announceReturn = true;
        self.WatchForDaemon();
        self.retriesLeft = kRetries;
        self.TryAgainSoon();
    }

    static void OnRetry(void* data, std::uint64_t) { static_cast<Session*>(data)->TryToComeBack(); }

    static void OnWatch(void* data, int fd, std::uint32_t) {
        auto& self = *static_cast<Session*>(data);
        alignas(inotify_event) char events[4096];
        bool appeared = false;
        for (ssize_t got = 0; (got = ::read(fd, events, sizeof events)) > 0;) {
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                if (event->len > 0 && self.socketName == event->name)
                    appeared = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        if (appeared && self.core == nullptr) {
            self.retriesLeft = kRetries;
            self.TryToComeBack();
        }
    }

    static void OnGlobal(void* data, std::uint32_t id, std::uint32_t, const char* type,
                         std::uint32_t, const spa_dict* props) {
        auto& self = *static_cast<Session*>(data);
        ++self.heard;
        if (type == nullptr || std::string_view(type) != PW_TYPE_INTERFACE_Port)
            return;
        const std::string node = Lookup(props, PW_KEY_NODE_ID);
        if (node.empty())
            return;
        PortGlobal global;
        global.node = static_cast<std::uint32_t>(std::strtoul(node.c_str(), nullptr, 10));
        global.alias = Lookup(props, PW_KEY_PORT_ALIAS);
        global.input = Lookup(props, PW_KEY_PORT_DIRECTION) == "in";
        global.midi = Lookup(props, PW_KEY_FORMAT_DSP) == kMidiFormat ||
                      Lookup(props, PW_KEY_PORT_CONTROL) == "true";
        self.ports[id] = std::move(global);
        self.LinkWhenThere();
        pw_thread_loop_signal(self.loop, false);
    }

    static void OnGlobalRemove(void* data, std::uint32_t id) {
        auto& self = *static_cast<Session*>(data);
        ++self.heard;
        self.ports.erase(id);
        // The input went: its link goes with it, and a new one is made when
        // an input of its name appears.
        if (id == self.linkedInput)
            self.DropLink();
    }

    static void OnFilterState(void* data, pw_filter_state, pw_filter_state, const char*) {
        auto& self = *static_cast<Session*>(data);
        ++self.heard;
        self.LinkWhenThere();
        pw_thread_loop_signal(self.loop, false);
    }

    static void OnLinkInfo(void* data, const pw_link_info* info) {
        auto& self = *static_cast<Session*>(data);
        ++self.heard;
        self.linkState = info->state;
        if (self.linkState == PW_LINK_STATE_ACTIVE)
            self.SayBack();
        pw_thread_loop_signal(self.loop, false);
    }

    /// The input went (the link with it), or the link failed: the input is
    /// linked again once it is there.
    static void OnLinkRemoved(void* data) {
        auto& self = *static_cast<Session*>(data);
        ++self.heard;
        self.DropLink();
        self.LinkWhenThere();
        pw_thread_loop_signal(self.loop, false);
    }

    static void OnLinkError(void* data, int, int, const char*) {
        auto& self = *static_cast<Session*>(data);
        ++self.heard;
        self.linkState = PW_LINK_STATE_ERROR;
        pw_thread_loop_signal(self.loop, false);
    }

    static void OnProcess(void* data, spa_io_position* position) {
        auto& self = *static_cast<Session*>(data);
        PipeWireMidiOutput& owner = *self.owner;
        pw_buffer* buffer = position != nullptr ? pw_filter_dequeue_buffer(self.port) : nullptr;
        if (buffer == nullptr) {
            owner.CycleWithoutBuffer();
            return;
        }
        spa_data& out = buffer->buffer->datas[0];
        std::uint32_t used = 0;
        if (out.data != nullptr)
            owner.Process(
                out.data, out.maxsize, used, static_cast<double>(position->clock.nsec) / 1000.0,
                static_cast<std::uint32_t>(position->clock.duration), position->clock.rate.denom);
        // The buffer holds this cycle's words and nothing else, written
        // afresh even when there are none. A cycle this node is not run in
        // leaves nothing to be played again: the filter hands a buffer to
        // the link only as it is queued here, and the reader marks each one
        // taken (PipeWire 0.3.65, filter.c and the control mixer). A buffer
        // not yet taken stays for it and is taken once, a cycle later; with
        // none free, the words wait in the ring.
        out.chunk->offset = 0;
        out.chunk->size = used;
        out.chunk->stride = 1;
        out.chunk->flags = 0;
        pw_filter_queue_buffer(self.port, buffer);
        owner.CycleDone();
    }
};

std::unique_ptr<PipeWireMidiOutput> PipeWireMidiOutput::Open(
    const std::string& name, const std::optional<std::string>& destination, Failure& failure,
    Notices notices) {
    const auto deadline = Clock::now() + kConnectBound;
    failure = Failure::kNoDaemon;
    auto output = std::unique_ptr<PipeWireMidiOutput>(new PipeWireMidiOutput());
    output->session_ = std::make_unique<Session>();
    Session& session = *output->session_;
    session.owner = output.get();
    session.name = name;
    session.notices = std::move(notices);
    if (!session.Start())
        return nullptr;
    pw_thread_loop_lock(session.loop);
    bool ready =
        session.Connect() &&
        session.WaitUntil([&] { return session.lost || (session.synced && session.OwnPort()); },
                          deadline) &&
        !session.lost;
    if (ready && destination) {
        // Missing fails at once: the registry has told all it holds.
        ready = session.Input(*destination).has_value();
        failure = Failure::kMissing;
        if (ready) {
            session.followed = *destination;
            session.LinkWhenThere();
            ready = session.WaitUntil(
                        [&] {
                            return session.lost || session.link == nullptr ||
                                   session.linkState == PW_LINK_STATE_ACTIVE ||
                                   session.linkState == PW_LINK_STATE_ERROR;
                        },
                        deadline) &&
                    session.linkState == PW_LINK_STATE_ACTIVE && !session.lost;
        }
    }
    const bool silent = session.silent;
    pw_thread_loop_unlock(session.loop);
    if (silent)
        failure = Failure::kNoAnswer;
    if (!ready)
        return nullptr;
    // An active link is in the graph from a cycle to come on; each cycle is
    // a sign of life, and none for kAnswerBound is a daemon that stopped.
    const auto cycles = [&] { return output->cycles_.load(std::memory_order_acquire); };
    const std::uint64_t seen = cycles();
    for (std::uint64_t last = seen; last < seen + kSettlingCycles; last = cycles()) {
        if (!output->WaitFor([&] { return cycles() > last; },
                             std::min(deadline, Clock::now() + kAnswerBound))) {
            failure = output->DaemonGone() ? Failure::kNoDaemon : Failure::kNoAnswer;
            return nullptr;
        }
    }
    return output;
}

std::optional<std::vector<std::string>> PipeWireMidiOutput::Destinations(
    const std::string& client) {
    // Without the daemon's socket nothing answers: the library, its
    // configuration and its modules are not loaded for nothing at start-up.
    if (!DaemonSocketThere())
        return std::nullopt;
    Session session;
    session.name = client;
    if (!session.Start())
        return std::nullopt;
    pw_thread_loop_lock(session.loop);
    const bool answered = session.Connect() &&
                          session.WaitUntil([&] { return session.lost || session.synced; },
                                            Clock::now() + kConnectBound) &&
                          !session.lost;
    std::vector<std::string> names;
    for (const auto& [id, global] : session.ports) {
        // Each input once, in the order the daemon made them.
        if (global.input && global.midi && !global.alias.empty() &&
            std::find(names.begin(), names.end(), global.alias) == names.end())
            names.push_back(global.alias);
    }
    pw_thread_loop_unlock(session.loop);
    if (!answered)
        return std::nullopt;
    return names;
}

PipeWireMidiOutput::~PipeWireMidiOutput() {
    if (sent_ && !DaemonGone())
        Drain(kDrainBound);
    // The node goes, and its process callback with it, before the ring.
    session_.reset();
}

void PipeWireMidiOutput::Send(const std::uint8_t* bytes, std::size_t size,
                              std::optional<Clock::time_point> due) {
    if (DaemonGone() || !running_.load(std::memory_order_acquire) || size == 0 || size > 3)
        return;
    StampedWord word;
    if (due) {
        // The graph's clock is the monotonic clock, as the steady clock is.
        const auto moment = std::chrono::duration_cast<std::chrono::microseconds>(
            std::min(*due, Clock::now()).time_since_epoch());
        word.moment = static_cast<std::uint32_t>(moment.count());
        word.due = true;
    }
    word.size = static_cast<std::uint8_t>(size);
    std::copy_n(bytes, size, word.bytes.begin());
    sent_ = true;
    if (!ring_.Push(word))
        ++dropped_;
}

void PipeWireMidiOutput::Drain(std::chrono::milliseconds bound) {
    const auto deadline = Clock::now() + bound;
    if (!WaitFor([this] { return ring_.Empty(); }, deadline))
        return;
    const std::uint64_t seen = cycles_.load(std::memory_order_acquire);
    if (WaitFor([&] { return cycles_.load(std::memory_order_acquire) >= seen + kSettlingCycles; },
                deadline))
        sent_ = false;
}

template <typename Condition>
bool PipeWireMidiOutput::WaitFor(Condition done, Clock::time_point deadline) {
    waiting_.store(true);
    bool met = false;
    while (!DaemonGone()) {
        if (done()) {
            met = true;
            break;
        }
        if (!wake_.try_acquire_until(deadline) && Clock::now() >= deadline) {
            met = done();
            break;
        }
    }
    waiting_.store(false);
    while (wake_.try_acquire()) {
    }
    return met && !DaemonGone();
}

void PipeWireMidiOutput::DropWaitingWords() {
    while (ring_.Front() != nullptr) ring_.Pop();
}

void PipeWireMidiOutput::CycleWithoutBuffer() {
    // What nobody takes leaves into nothing, as from a port with no link;
    // it is not kept for a link to come.
    if (++cyclesWithoutBuffer_ > kCyclesWithoutBufferKept)
        DropWaitingWords();
    CycleDone();
}

void PipeWireMidiOutput::CycleDone() {
    if (!running_.load(std::memory_order_relaxed))
        running_.store(true, std::memory_order_release);
    cycles_.fetch_add(1, std::memory_order_release);
    // The one system call of the cycle, and only when someone waits.
    if (waiting_.load())
        wake_.release();
}

void PipeWireMidiOutput::Process(void* buffer, std::uint32_t size, std::uint32_t& used,
                                 double startedMicroseconds, std::uint32_t frames,
                                 std::uint32_t rate) {
    cyclesWithoutBuffer_ = 0;
    if (rate != 0) {
        const bool announced = frames != lastFrames_ || rate != lastRate_;
        lastFrames_ = frames;
        lastRate_ = rate;
        clock_.Cycle(startedMicroseconds, frames, rate, announced);
    }
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, buffer, size);
    spa_pod_frame sequence{};
    if (size < sizeof(spa_pod_sequence) + kRoomPerWord)
        return;  // no room for any word: they wait
    spa_pod_builder_push_sequence(&builder, &sequence, 0);
    PlaceWords(ring_, clock_, frames, rate, [&](std::uint32_t offset, const StampedWord& word) {
        if (builder.state.offset + kRoomPerWord > size)
            return false;
        spa_pod_builder_control(&builder, offset, SPA_CONTROL_Midi);
        spa_pod_builder_bytes(&builder, word.bytes.data(), word.size);
        return true;
    });
    spa_pod_builder_pop(&builder, &sequence);
    used = builder.state.offset;
}

}  // namespace faderwell
