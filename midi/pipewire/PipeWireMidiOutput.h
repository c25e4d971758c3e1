#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <semaphore>
#include <string>
#include <string_view>
#include <vector>

#include "midi/timing/CycleClock.h"
#include "midi/timing/StampedWordRing.h"

namespace faderwell {

/// One MIDI output port of the program's own on PipeWire, written on
/// PipeWire's own API (a filter node with one MIDI port), so that no JACK
/// library is needed and PipeWire's JACK layer, which plays a port's last
/// buffer again in the cycle a quantum change makes it skip, is not in the
/// way.
///
/// PipeWire's side runs in a thread loop of its own: the user-interface
/// thread waits on the daemon only for a bounded open and close. Words are
/// handed over with `Send` and taken by the graph's real-time thread from a
/// lock-free ring, in order: a word with no due moment (a hand move) in the
/// next cycle; a fade tick's words together at the frame of the moment the
/// tick fell due plus one fixed latency. Every cycle's buffer is written
/// afresh, holding that cycle's words and no other.
///
/// The input it was connected to is followed: when a port of that name
/// appears again (a synthesizer restarted), the output links to it again.
/// When the daemon goes, sending goes nowhere and closing costs nothing;
/// when a daemon starts again in the same place, the output comes back by
/// itself, linked to its input again once that is there.
class PipeWireMidiOutput {
public:
    /// As the JACK output's: how long an open waits for its link and a
    /// close for its words to leave, at most.
    static constexpr std::chrono::milliseconds kConnectBound{2000};
    static constexpr std::chrono::milliseconds kDrainBound{250};
    /// How long an open or a listing waits while the daemon shows no sign of
    /// life (no event, no cycle): a stopped or hung daemon never holds the
    /// caller longer.
    static constexpr std::chrono::milliseconds kAnswerBound{400};

    using Notices = std::function<void(std::string_view line)>;
    /// Why an open failed.
    enum class Failure {
        kNoDaemon,  // no daemon to connect to
        kMissing,   // the input is not there, or the link did not come
        kNoAnswer,  // the daemon stopped answering
    };

    /// A node named `name` with one MIDI output port of the same name,
    /// linked to the MIDI input `destination` (a name from Destinations)
    /// when one is given. Returns once the link is in place; null (and
    /// `failure` set) when no daemon runs or answers, the destination is
    /// missing or the link does not come. `notices` hears, from PipeWire's
    /// thread, one line when the daemon goes and one when the output is back.
    static std::unique_ptr<PipeWireMidiOutput> Open(const std::string& name,
                                                    const std::optional<std::string>& destination,
                                                    Failure& failure, Notices notices = {});
    /// The MIDI inputs of the daemon, each by its port alias ("node:port",
    /// what a JACK client sees as the port's name or alias); nothing when
    /// no daemon answers. Native nodes, JACK clients and bridged ALSA ports
    /// alike, each once.
    static std::optional<std::vector<std::string>> Destinations(const std::string& client);
    ~PipeWireMidiOutput();
    PipeWireMidiOutput(const PipeWireMidiOutput&) = delete;
    PipeWireMidiOutput& operator=(const PipeWireMidiOutput&) = delete;

    /// Hands one message of one to three bytes over; see JackMidiOutput.
    /// Dropped (and counted) when the ring is full; ignored while the
    /// daemon is gone and until the node runs, never kept for later.
    void Send(const std::uint8_t* bytes, std::size_t size,
              std::optional<std::chrono::steady_clock::time_point> due = std::nullopt);
    /// Waits, at most `bound`, until every word handed over has left.
    void Drain(std::chrono::milliseconds bound);

    bool DaemonGone() const { return gone_.load(); }
    /// Words dropped because the ring was full.
    std::uint64_t Dropped() const { return dropped_; }

private:
    PipeWireMidiOutput() = default;

    struct Session;  // PipeWire's objects, kept in the .cpp
    friend struct Session;
    /// The graph's real-time thread, once per cycle: `frames` at `rate`,
    /// the cycle having started at `startedMicroseconds` (monotonic clock).
    void Process(void* buffer, std::uint32_t size, std::uint32_t& used, double startedMicroseconds,
                 std::uint32_t frames, std::uint32_t rate);
    /// The cycle ran without a buffer to write to: its words wait, for a
    /// few cycles.
    void CycleWithoutBuffer();
    void CycleDone();
    /// What waits in the ring is dropped: by a new session (the daemon came
    /// back) while no process thread reads the ring, or by the process
    /// thread, the ring's reader.
    void DropWaitingWords();
    template <typename Condition>
    bool WaitFor(Condition done, std::chrono::steady_clock::time_point deadline);

    std::unique_ptr<Session> session_;
    StampedWordRing ring_;
    // The process thread's own.
    CycleClock clock_;
    std::uint32_t lastFrames_{0};
    std::uint32_t lastRate_{0};
    std::uint32_t cyclesWithoutBuffer_{0};
    bool sent_{false};          // sent since the last complete drain
    std::uint64_t dropped_{0};  // user-interface thread only

    std::atomic<bool> gone_{false};
    /// The node has run a cycle since it was made: until then no process
    /// thread takes words, and a node made after the daemon came back may
    /// wait for its first cycle until an input is linked to it.
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> cycles_{0};
    /// The user-interface thread waiting for cycles: the process thread
    /// releases the semaphore only while it is set (see JackMidiOutput).
    std::atomic<bool> waiting_{false};
    std::counting_semaphore<> wake_{0};
};

}  // namespace faderwell
