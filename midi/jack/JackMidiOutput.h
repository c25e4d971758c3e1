#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
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

/// One MIDI output port of the program's own on a JACK server (jackd or
/// PipeWire's JACK), written directly on libjack.
///
/// The user-interface thread hands words over with `Send`; the server's
/// process thread takes them from a lock-free ring, in order. A word with
/// no due moment (a hand move) leaves in the next cycle; a fade tick's
/// words leave together at the frame of the moment the tick fell due plus
/// one fixed latency, so the ticks' spacing at the wire equals their
/// spacing as due, across period and rate changes and new schedules of
/// the server alike.
/// `Send` never waits: a full ring (a stalled server) drops the word. Once
/// the server has gone, nothing is written any more and closing costs
/// nothing. The destructor drains what was sent (bounded), then closes the
/// client before anything the process thread reads is freed.
///
/// The input it was connected to is followed: should it go away and a port
/// of the same name appear again (a synthesizer restarted), the output
/// connects to it again by itself.
class JackMidiOutput {
public:
    /// How long an open waits for its connection and a close for its words
    /// to leave, at most; normally both take a period or two. A missing
    /// input fails at once, so only a server that a busy machine holds up
    /// makes an open wait longer, and it must not fail for that.
    static constexpr std::chrono::milliseconds kConnectBound{2000};
    static constexpr std::chrono::milliseconds kDrainBound{250};

    /// A client named `client` with one output port named `port`, connected
    /// to the input port `destination` ("client:port") when one is given.
    /// Returns only once the connection is in place; null when no server
    /// runs, the destination is missing or the connection does not come.
    /// Never starts a server. Where another client already has the name
    /// (PipeWire leaves names as they are asked for), the client takes the
    /// first free one of `client-01` to `client-99`, as jackd does itself.
    static std::unique_ptr<JackMidiOutput> Open(const std::string& client, const std::string& port,
                                                const std::optional<std::string>& destination);
    /// The MIDI inputs of a running server, which are the destinations an
    /// output can connect to ("client:port"); nothing when no server runs.
    /// Listed by a client named `client` that is never activated and goes
    /// at once: every client the server activates or lets go costs it a
    /// graph change, which start-up would wait for.
    static std::optional<std::vector<std::string>> Destinations(const std::string& client);
    /// Keeps libjack from printing its errors and information on the
    /// terminal, for the whole process.
    static void SilenceLibrary();
    ~JackMidiOutput();
    JackMidiOutput(const JackMidiOutput&) = delete;
    JackMidiOutput& operator=(const JackMidiOutput&) = delete;

    /// How long after it fell due a fade tick's words leave, beyond the
    /// largest period the server has run at: room for the user-interface
    /// thread to come to a tick late (a busy machine keeps a thread of
    /// normal priority waiting for milliseconds) without the tick leaving
    /// late. The latency is raised only when a larger period appears, so
    /// the spacing between ticks stays as it was due.
    static constexpr std::chrono::milliseconds kHeadroom{10};
    static constexpr std::int64_t kHeadroomMicroseconds =
        std::chrono::microseconds(kHeadroom).count();

    /// Hands one message of one to three bytes over. With `due` (a moment
    /// on the steady clock: a fade tick's) it leaves at the frame of that
    /// moment plus the latency; without, in the next cycle. Never before a
    /// word handed over earlier. Dropped (and counted) when the ring is
    /// full; ignored once the server has gone.
    void Send(const std::uint8_t* bytes, std::size_t size,
              std::optional<std::chrono::steady_clock::time_point> due = std::nullopt);
    /// Waits, at most `bound`, until every word handed over has left.
    /// Returns at once when the server has gone.
    void Drain(std::chrono::milliseconds bound);
    /// Lets what was sent leave, then drops every connection of the port,
    /// so that nothing sent later reaches anyone, and stops the port's
    /// process cycles; the client stays, ready for Activate or ConnectTo.
    /// Opening a client afresh for every output costs PipeWire's libjack
    /// memory it never gives back.
    void Disconnect();
    /// Takes process cycles again after Disconnect; false when the server
    /// has gone (PipeWire's libjack tells an inactive client nothing of it).
    bool Activate();
    /// Connects the port to the input `destination` ("client:port") and
    /// returns once the connection is in place (bounded); false at once when
    /// the input is missing, or when the connection does not come.
    bool ConnectTo(const std::string& destination);

    bool ServerGone() const { return gone_.load(); }
    /// Words dropped because the ring was full.
    std::uint64_t Dropped() const { return dropped_; }

private:
    JackMidiOutput() = default;

    enum class Started { kYes, kNameTaken, kNo };
    Started Start(const std::string& client, const std::string& port);
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
    /// a port registers while the connection is missing.
    void Follow();
    void PortRegistered();
    void StopFollowing();

    jack_client_t* client_{nullptr};
    jack_port_t* port_{nullptr};
    StampedWordRing ring_;
    // The process thread's own.
    CycleClock clock_;
    double largestPeriod_{0};  // µs
    std::atomic<bool> announced_{false};
    bool active_{false};
    bool sent_{false};          // sent since the last complete drain
    std::uint64_t dropped_{0};  // user-interface thread only

    std::atomic<bool> gone_{false};         // set by the shutdown callbacks
    std::atomic<std::uint64_t> cycles_{0};  // process cycles completed
    Waiter caller_;                         // the user-interface thread
    Waiter following_;                      // the follower

    /// The input to follow ("client:port"); empty while the output is not
    /// connected to one. The user-interface thread and the follower change
    /// the connection only under the lock.
    std::string followed_;
    std::mutex followLock_;
    /// Set by the registration callback, cleared by the follower before it
    /// looks, so that the semaphore is released at most once in between.
    std::atomic<bool> registered_{false};
    std::atomic<bool> stopFollowing_{false};
    std::binary_semaphore registration_{0};
    std::thread follower_;
};

}  // namespace faderwell
