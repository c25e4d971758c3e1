#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace faderwell {

/// The program's JACK output over the life of the servers it meets: a
/// thread of its own makes every libjack call that waits for the server
/// (open, activate, connect, disconnect, deactivate, close), so that the
/// user-interface thread never waits for a server that has stopped
/// answering, and hands words over without ever blocking.
///
/// When the server goes while an output is chosen, the words sent meanwhile
/// are dropped; once a server runs again (looked for once a second, asking
/// nothing of a server that runs), the output opens on it by itself and
/// connects to the chosen input as soon as it is listed. Both are said in
/// one line each.
class JackOutputKeeper {
public:
    using Notices = std::function<void(std::string_view line)>;

    /// How an open ended.
    enum class Outcome {
        kOpen,
        kNoServer,  // no server runs
        kMissing,   // the input is not there, or the connection did not come
        kNoAnswer,  // the server stopped answering
    };

    /// How long an open waits while the server shows no sign of life (no
    /// process cycle, no call returning): a server that answers and runs
    /// cycles keeps the open waiting up to the connection's own bound, and
    /// so does the open of a new client (the first, or the first on a new
    /// server), which a busy machine holds up without a sign.
    static constexpr std::chrono::milliseconds kAnswerBound{400};
    /// How often a server is looked for while the chosen output's has gone.
    static constexpr std::chrono::seconds kLookAgain{1};

    /// An output whose client and port are both named `name` (the first free
    /// of `name-01` … where the name is taken). `notices` may be called from
    /// any thread.
    JackOutputKeeper(std::string name, Notices notices);
    /// Lets what was sent leave and closes the client, bounded: a server that
    /// does not answer is left to the thread, which ends with the process.
    ~JackOutputKeeper();
    JackOutputKeeper(const JackOutputKeeper&) = delete;
    JackOutputKeeper& operator=(const JackOutputKeeper&) = delete;

    /// Opens the output, connected to the input `destination` ("client:port"),
    /// or unconnected for the mapper; waits for the outcome while the server
    /// answers. On any outcome but kOpen nothing stays open.
    Outcome Open(const std::optional<std::string>& destination);
    /// The MIDI inputs of a running server ("client:port"), listed by the
    /// output's own client, which is opened (and left inactive) for it when
    /// there is none yet; nothing when no server runs or answers. Waits as
    /// Open does.
    std::optional<std::vector<std::string>> Destinations();
    /// Lets what was sent leave, then disconnects the port and stops its
    /// cycles; returns at once, the thread does it in order.
    void Close();
    /// Hands one message of one to three bytes over (see
    /// JackMidiOutput::Stamp); never waits. Dropped while no output is open
    /// on a running server, and when the words waiting fill the ring.
    void Send(const std::uint8_t* bytes, std::size_t size,
              std::optional<std::chrono::steady_clock::time_point> due);

    /// Process cycles the output has run so far, on every server it met.
    std::uint64_t Cycles() const;

private:
    /// Waits while the thread answers, as Open does, until `handled` holds
    /// under the lock; false when the thread stopped answering.
    template <typename Handled>
    bool AwaitThread(std::unique_lock<std::mutex>& guard, Handled handled);

    struct Shared;  // what the thread owns with the keeper, in the .cpp
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace faderwell
