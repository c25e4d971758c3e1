#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include "midi/timing/CycleClock.h"
#include "midi/timing/StampedWordRing.h"

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

namespace faderwell {

/// The words on their way to a JACK output, and the process cycles that
/// took them: they outlive every client, so that the thread that hands words
/// over never touches a client, which the server's end may take away.
struct JackWordQueue {
    StampedWordRing ring;
    /// Handed over since the last complete drain (the sending thread sets
    /// it, the thread that drains clears it).
    std::atomic<bool> sent{false};
    /// Process cycles completed by whichever client takes the words.
    std::atomic<std::uint64_t> cycles{0};
};

/// What a JACK output tells its owner, from libjack's threads.
struct JackOutputEvents {
    /// The server has gone (shut down, crashed, or threw the client out).
    std::function<void()> serverGone;
    /// The followed input came back and is connected again.
    std::function<void()> reconnected;
};

/// One MIDI output port of the program's own on a JACK server (jackd or
/// PipeWire's JACK), written directly on libjack. Its calls that wait for
/// the server (open, activate, connect, disconnect, close) are made by the
/// one thread that owns it, never by the user-interface thread.
///
/// Words are handed over through a `JackWordQueue`; the server's process
/// thread takes them from its lock-free ring, in order. A word with no due
/// moment (a hand move) leaves in the next cycle; a fade tick's words leave
/// together at the frame of the moment the tick fell due plus one latency,
/// so the ticks' spacing at the wire equals their spacing as due, across
/// period and rate changes and new schedules of the server alike. The
/// destructor drains what was sent (bounded), then closes the client before
/// anything the process thread reads is freed.
///
/// The input it was connected to is followed: should it go away and a port
/// of the same name register again (a synthesizer restarted), the output
/// connects to it again by itself. A connection someone else removed while
/// the input stayed is left removed.
class JackMidiOutput {
public:
    /// How long an open waits for its connection and a close for its words
    /// to leave, at most; normally both take a period or two. A missing
    /// input fails at once, so only a server that a busy machine holds up
    /// makes an open wait longer, and it must not fail for that.
    static constexpr std::chrono::milliseconds kConnectBound{2000};
    static constexpr std::chrono::milliseconds kDrainBound{250};

    /// A client named `client` with one output port named `port`, not yet
    /// taking part in the graph (see Activate); null when no server runs.
    /// Never starts a server. Where another client already has the name
    /// (PipeWire leaves names as they are asked for), the client takes the
    /// first free one of `client-01` to `client-99`, as jackd does itself.
    /// `words` and `events` must outlive the output.
    static std::unique_ptr<JackMidiOutput> Open(const std::string& client, const std::string& port,
                                                JackWordQueue& words, JackOutputEvents events = {});
    /// The MIDI inputs of the server, which are the destinations an output
    /// can connect to ("client:port"). Asks the client's own view, so that a
    /// listing costs the server no client of its own: every client the
    /// server admits or lets go costs it a graph change, which start-up
    /// would wait for.
    std::vector<std::string> Destinations() const;
    /// Keeps libjack from printing its errors and information on the
    /// terminal, for the whole process.
    static void SilenceLibrary();
    ~JackMidiOutput();
    JackMidiOutput(const JackMidiOutput&) = delete;
    JackMidiOutput& operator=(const JackMidiOutput&) = delete;

    /// One message of one to three bytes as a JACK output's process thread
    /// takes it from the queue. With `due` (a moment on the steady clock: a
    /// fade tick's) it leaves at the frame of that moment plus the latency;
    /// without, in the next cycle; never before a word handed over earlier.
    /// Needs no client: the thread that hands words over calls it.
    static StampedWord Stamp(const std::uint8_t* bytes, std::size_t size,
                             std::optional<std::chrono::steady_clock::time_point> due);
    /// Waits, at most `bound`, until every word handed over has left.
    /// Returns at once when the server has gone.
    void Drain(std::chrono::milliseconds bound);
    /// Lets what was sent leave, then drops every connection of the port,
    /// so that nothing sent later reaches anyone, and stops the port's
    /// process cycles; the client stays, ready for Activate or ConnectTo.
    /// Opening a client afresh for every output costs PipeWire's libjack
    /// memory it never gives back.
    void Disconnect();
    /// Takes process cycles (again, after Disconnect); false when the server
    /// has gone (PipeWire's libjack tells an inactive client nothing of it).
    /// Returns at once: only a connection waits for the server to have
    /// taken the client into its graph.
    bool Activate();
    /// Connects the port to the input `destination` ("client:port") and
    /// returns once the connection is in place (bounded); false at once when
    /// the input is missing, or when the connection does not come.
    bool ConnectTo(const std::string& destination);
    /// Follows the input `destination` without waiting for it: connects to
    /// it now when it is listed, otherwise when a port of that name
    /// registers. What a server that came back is given.
    bool Follow(const std::string& destination);

    bool ServerGone() const { return gone_.load(); }

private:
    JackMidiOutput(JackWordQueue& words, JackOutputEvents events)
        : words_(words), events_(std::move(events)) {}

    enum class Started { kYes, kNameTaken, kNo };
    Started Start(const std::string& client, const std::string& port);
    /// Waits until the graph has run with the client in it since its
    /// activation, at most until `deadline`; false when the server went.
    bool WaitUntilInGraph(std::chrono::steady_clock::time_point deadline);
    /// A thread that waits for the process thread: the user-interface
    /// thread, or the follower. Set `waiting` first, then look; the process
    /// thread and the notifications release the semaphore only while it is
    /// set, so it never overflows. Sequentially consistent, as is `gone_`:
    /// each side stores its own flag, then loads the other's, and at least
    /// one of them must see the other's store.
    struct Waiter {
        std::atomic<bool> waiting{false};
        std::counting_semaphore<> wake{0};
        void Wake() {
            if (waiting.load())
                wake.release();
        }
    };
    /// Waits until `done` holds, a process cycle or a notification at a
    /// time, at most until `deadline`; false when the server went first.
    template <typename Condition>
    bool WaitFor(Waiter& waiter, Condition done, std::chrono::steady_clock::time_point deadline);
    /// Until the words handed over so far have had their turn to leave, or
    /// the follower is to stop, at most until `deadline`.
    bool WaitForWordsSoFar(Waiter& waiter, std::chrono::steady_clock::time_point deadline);

    struct Callbacks;  // what libjack calls, with libjack's own types
    friend struct Callbacks;
    void Process(std::uint32_t frames);
    /// A new period or sample rate: the clock starts a new schedule.
    void Announce() { announced_.store(true, std::memory_order_release); }
    void Wake();
    void ServerEnded();
    /// The follower's thread: connects to the followed input again whenever
    /// a port of its name registers while the connection is missing; a
    /// connection removed by someone else while the input stays is left so.
    void FollowInput();
    void PortRegistered(std::uint32_t id);
    void WakeFollower();
    void StopFollowing();

    jack_client_t* client_{nullptr};
    jack_port_t* port_{nullptr};
    JackWordQueue& words_;
    JackOutputEvents events_;
    // The process thread's own.
    CycleClock clock_;
    std::atomic<bool> announced_{false};
    bool active_{false};
    /// Process cycles completed when the client was last activated.
    std::uint64_t activatedAt_{0};

    std::atomic<bool> gone_{false};  // set by the shutdown callbacks
    Waiter caller_;                  // the thread that opens and closes
    Waiter following_;               // the follower

    /// The input to follow ("client:port"); empty while the output is not
    /// connected to one. The opening thread and the follower change the
    /// connection only under the lock.
    std::string followed_;
    std::mutex followLock_;
    /// The followed input's name as the registration callback compares it,
    /// under a lock of its own that is never held across a libjack call.
    std::string followedName_;
    std::mutex nameLock_;
    /// Set by the registration callback when a port of the followed name
    /// registered, cleared by the follower before it looks, so that the
    /// semaphore is released at most once in between.
    std::atomic<bool> registered_{false};
    std::atomic<bool> stopFollowing_{false};
    std::binary_semaphore registration_{0};
    std::thread follower_;
};

}  // namespace faderwell
